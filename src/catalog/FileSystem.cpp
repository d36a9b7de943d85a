#include "catalog/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <sys/stat.h>

#include "platform/WinText.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace catalog {
namespace fs = std::filesystem;

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    std::wstring wmode(mode, mode + std::strlen(mode));
    return FileHandle(_wfopen(platform::Utf8ToWide(path).c_str(), wmode.c_str()));
#else
    return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0) {
        return false;
    }
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
#ifdef _WIN32
    int pid = _getpid();
#else
    int pid = static_cast<int>(getpid());
#endif
    return path + ".~" + std::to_string(pid) + "-" + std::to_string(counter++) + ".tmp";
}

std::string ErrnoText() {
    return std::strerror(errno);
}

void EmptyNativeDirectory(const fs::path& directory) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(directory, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code entryError;
        if (it->is_directory(entryError) && !it->is_symlink(entryError)) {
            EmptyNativeDirectory(it->path());
        }
        fs::remove(it->path(), entryError);
    }
}

}  // namespace

fs::path NativePath(const std::string& utf8) {
#ifdef _WIN32
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
#else
    return fs::path(utf8);
#endif
}

std::string Utf8Path(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool FileExists(const std::string& path) {
#ifdef _WIN32
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
#endif
}

namespace {

#ifdef _WIN32
using NativeStat = struct _stat64;
int StatOpenFile(std::FILE* f, NativeStat& st) {
    return _fstat64(_fileno(f), &st);
}
#else
using NativeStat = struct stat;
int StatOpenFile(std::FILE* f, NativeStat& st) {
    return fstat(fileno(f), &st);
}
#endif

FileVersion VersionFrom(const NativeStat& st) {
#ifdef _WIN32
    return {true, static_cast<uint64_t>(st.st_size), static_cast<int64_t>(st.st_mtime), 0};
#else
    return {true, static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
            static_cast<uint64_t>(st.st_ino)};
#endif
}

bool IsRegular(const NativeStat& st) {
#ifdef _WIN32
    return (st.st_mode & _S_IFREG) != 0;
#else
    return S_ISREG(st.st_mode);
#endif
}

}  // namespace

FileVersion VersionOf(const std::string& path) {
    NativeStat st;
#ifdef _WIN32
    int rc = _wstat64(NativePath(path).c_str(), &st);
#else
    int rc = stat(path.c_str(), &st);
#endif
    return rc == 0 ? VersionFrom(st) : FileVersion{};
}

ReadStatus ReadFileBytes(const std::string& path, std::string& bytes, std::string& error,
                         FileVersion* version) {
    bytes.clear();
    FileHandle f = OpenFile(path, "rb");
    if (!f) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return ReadStatus::Missing;
        }
        error = "cannot open " + path + ": " + ErrnoText();
        return ReadStatus::Failed;
    }
    NativeStat st;
    if (StatOpenFile(f.get(), st) != 0 || !IsRegular(st)) {
        error = path + " is not a file";
        return ReadStatus::Failed;
    }
    if (version != nullptr) {
        *version = VersionFrom(st);
    }
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
    bytes.resize(n);
    // The file may have grown since fstat.
    char buffer[65536];
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) {
        bytes.append(buffer, n);
    }
    if (std::ferror(f.get())) {
        error = "cannot read " + path + ": " + ErrnoText();
        bytes.clear();
        return ReadStatus::Failed;
    }
    return ReadStatus::Ok;
}

Outcome WriteFileAtomically(const std::string& path, std::string_view bytes) {
    std::error_code ec;
    fs::path target = NativePath(path);
    auto status = fs::status(target, ec);
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status)) {
            return Outcome::Failed(path + " is not a file");
        }
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            return Outcome::Failed(path + " is read-only");
        }
    } else if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }

    std::string temporary = TemporaryName(path);
    FileHandle f = OpenFile(temporary, "wb");
    if (!f) {
        return Outcome::Failed("cannot create " + temporary + ": " + ErrnoText());
    }
    bool written =
        std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size() && FlushToDisk(f.get());
    std::string reason = written ? std::string() : "cannot write " + temporary + ": " + ErrnoText();
    if (std::fclose(f.release()) != 0 && written) {
        written = false;
        reason = "cannot write " + temporary + ": " + ErrnoText();
    }
    if (written) {
        if (fs::exists(status)) {
            fs::permissions(NativePath(temporary), status.permissions(), ec);
        }
        fs::rename(NativePath(temporary), target, ec);
        if (ec) {
            written = false;
            reason = "cannot replace " + path + ": " + ec.message();
        }
    }
    if (!written) {
        fs::remove(NativePath(temporary), ec);
        return Outcome::Failed(reason);
    }
    return Outcome::Ok();
}

void EmptyDirectory(const std::string& directory) {
    EmptyNativeDirectory(NativePath(directory));
}

}  // namespace catalog

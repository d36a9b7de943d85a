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
    std::error_code ec;
    return fs::is_regular_file(NativePath(path), ec);
}

ReadStatus ReadFileBytes(const std::string& path, std::string& bytes, std::string& error) {
    bytes.clear();
    std::error_code ec;
    fs::path native = NativePath(path);
    auto status = fs::status(native, ec);
    if (!fs::exists(status)) {
        return ReadStatus::Missing;
    }
    if (!fs::is_regular_file(status)) {
        error = path + " is not a file";
        return ReadStatus::Failed;
    }
    FileHandle f = OpenFile(path, "rb");
    if (!f) {
        error = "cannot open " + path + ": " + ErrnoText();
        return ReadStatus::Failed;
    }
    auto size = fs::file_size(native, ec);
    if (!ec) {
        bytes.reserve(static_cast<std::size_t>(size));
    }
    char buffer[65536];
    std::size_t n;
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

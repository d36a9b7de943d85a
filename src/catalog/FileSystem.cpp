#include "catalog/FileSystem.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/Processes.h"

namespace catalog {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kTemporaryMark = ".~";
constexpr std::string_view kTemporaryEnd = ".tmp";

std::string TemporaryName(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    return path + std::string(kTemporaryMark) + std::to_string(platform::CurrentProcessId()) + "-" +
           std::to_string(counter++) + std::string(kTemporaryEnd);
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

std::string ErrnoText() {
    return std::strerror(errno);
}

// The C library reports through errno on every system.
std::error_code ErrnoError() {
    return std::error_code(errno, std::generic_category());
}

void EmptyNativeDirectory(const fs::path& directory) {
    std::error_code ec;
    for (auto it = fs::directory_iterator(directory, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        std::error_code entryError;
        const bool link = it->is_symlink(entryError);
        if (!link && it->is_directory(entryError)) {
            EmptyNativeDirectory(it->path());
        }
        if (!fs::remove(it->path(), entryError) && entryError && !link) {
            // Windows refuses to delete a read-only file, and tools unpack with the
            // attributes their archive gives; a tool's files are the launcher's to remove.
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, entryError);
            fs::remove(it->path(), entryError);
        }
    }
}

}  // namespace

fs::path NativePath(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string Utf8Path(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

bool FileExists(const std::string& path) {
    platform::FileStatus status = platform::StatusOf(path);
    return status.version.exists && status.regular;
}

FileVersion VersionOf(const std::string& path) {
    return platform::StatusOf(path).version;
}

ReadStatus ReadFileBytes(const std::string& path, std::string& bytes, std::string& error,
                         FileVersion* version) {
    bytes.clear();
    platform::FileHandle f = platform::OpenFile(path, "rb");
    if (!f) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return ReadStatus::Missing;
        }
        error = "cannot open " + path + ": " + ErrnoText();
        return ReadStatus::Failed;
    }
    platform::FileStatus status = platform::StatusOf(f.get());
    if (!status.version.exists || !status.regular) {
        error = path + " is not a file";
        return ReadStatus::Failed;
    }
    if (version != nullptr) {
        *version = status.version;
    }
    bytes.resize(static_cast<std::size_t>(status.version.size));
    std::size_t n = std::fread(bytes.data(), 1, bytes.size(), f.get());
    bytes.resize(n);
    // The file may have grown since it was looked at.
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
            return Outcome::CannotWrite(path + " is not a file", path,
                                        std::make_error_code(std::errc::is_a_directory));
        }
        if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) {
            return Outcome::CannotWrite(path + " is read-only", path,
                                        std::make_error_code(std::errc::permission_denied));
        }
    } else if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), ec);
    }

    // The user is told about the file they know, not about the temporary one beside it.
    auto failure = [&path](const std::string& what, std::error_code error) {
        return Outcome::CannotWrite(what + ": " + error.message(), path, error);
    };
    std::string temporary = TemporaryName(path);
    platform::FileHandle f = platform::OpenFile(temporary, "wb");
    if (!f) {
        return failure("cannot create " + temporary, ErrnoError());
    }
    std::error_code writeError;
    if (std::fwrite(bytes.data(), 1, bytes.size(), f.get()) != bytes.size() ||
        !platform::FlushToDisk(f.get())) {
        writeError = ErrnoError();
    }
    if (std::fclose(f.release()) != 0 && !writeError) {
        writeError = ErrnoError();
    }
    Outcome outcome = Outcome::Ok();
    if (writeError) {
        outcome = failure("cannot write " + temporary, writeError);
    } else {
        if (fs::exists(status)) {
            fs::permissions(NativePath(temporary), status.permissions(), ec);
        }
        if (std::error_code renamed = platform::RenameOver(temporary, path); renamed) {
            outcome = failure("cannot replace " + path, renamed);
        }
    }
    if (!outcome.ok()) {
        fs::remove(NativePath(temporary), ec);
    }
    return outcome;
}

void EmptyDirectory(const std::string& directory) {
    EmptyNativeDirectory(NativePath(directory));
}

bool IsSaveTemporaryName(std::string_view fileName) {
    const auto mark = fileName.rfind(kTemporaryMark);
    if (mark == std::string_view::npos || fileName.size() < kTemporaryEnd.size() ||
        fileName.substr(fileName.size() - kTemporaryEnd.size()) != kTemporaryEnd) {
        return false;
    }
    std::string_view numbers =
        fileName.substr(mark + kTemporaryMark.size(),
                        fileName.size() - kTemporaryEnd.size() - mark - kTemporaryMark.size());
    const auto dash = numbers.find('-');
    return dash != std::string_view::npos && AllDigits(numbers.substr(0, dash)) &&
           AllDigits(numbers.substr(dash + 1));
}

}  // namespace catalog

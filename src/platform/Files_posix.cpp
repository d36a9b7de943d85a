#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/Files.h"

namespace platform {
namespace {

FileStatus StatusFrom(const struct stat& st) {
    FileStatus status;
    status.version = {true, static_cast<uint64_t>(st.st_size),
                      static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                      static_cast<uint64_t>(st.st_ino)};
    status.regular = S_ISREG(st.st_mode);
    return status;
}

}  // namespace

FileHandle OpenFile(const std::string& path, const char* mode) {
    return FileHandle(std::fopen(path.c_str(), mode));
}

bool FlushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

FileStatus StatusOf(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? StatusFrom(st) : FileStatus{};
}

FileStatus StatusOf(std::FILE* file) {
    struct stat st {};
    return fstat(fileno(file), &st) == 0 ? StatusFrom(st) : FileStatus{};
}

std::error_code RenameOver(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return std::error_code(errno, std::generic_category());
    }
    return {};
}

std::error_code LastSystemError() {
    return std::error_code(errno, std::generic_category());
}

}  // namespace platform

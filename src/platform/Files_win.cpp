#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "platform/Files.h"
#include "platform/WinText.h"

namespace platform {
namespace {

// How long, and how often, a rename is tried again while another program holds the target.
constexpr std::chrono::milliseconds kRenamePatience{2000};
constexpr std::chrono::milliseconds kRenamePause{50};

// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochTicks = 116444736000000000LL;

int ErrnoFor(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return ENOENT;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        default:
            return EIO;
    }
}

FileStatus StatusOfHandle(HANDLE h) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h, &info)) {
        return {};
    }
    FileStatus status;
    const int64_t ticks =
        static_cast<int64_t>(static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32 |
                             info.ftLastWriteTime.dwLowDateTime);
    status.version = {true, static_cast<uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow,
                      (ticks - kEpochTicks) * 100,
                      static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    status.regular =
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && GetFileType(h) == FILE_TYPE_DISK;
    return status;
}

// A Windows error as the portable condition it stands for, where there is one; else as it is.
std::error_code ErrorOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_PRIVILEGE_NOT_HELD:
            return std::make_error_code(std::errc::permission_denied);
        case ERROR_WRITE_PROTECT:
            return std::make_error_code(std::errc::read_only_file_system);
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return std::make_error_code(std::errc::no_space_on_device);
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
            return std::make_error_code(std::errc::no_such_file_or_directory);
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return std::make_error_code(std::errc::file_exists);
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return std::make_error_code(std::errc::device_or_resource_busy);
        case ERROR_FILENAME_EXCED_RANGE:
            return std::make_error_code(std::errc::filename_too_long);
        default:
            return std::error_code(static_cast<int>(error), std::system_category());
    }
}

bool WorthAnotherTry(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

}  // namespace

FileHandle OpenFile(const std::string& path, const char* mode) {
    const bool update = std::strchr(mode, '+') != nullptr;
    DWORD access = 0;
    DWORD disposition = 0;
    int flags = _O_BINARY;
    switch (mode[0]) {
        case 'r':
            access = GENERIC_READ | (update ? GENERIC_WRITE : 0);
            disposition = OPEN_EXISTING;
            flags |= update ? _O_RDWR : _O_RDONLY;
            break;
        case 'w':
            access = GENERIC_WRITE | (update ? GENERIC_READ : 0);
            disposition = CREATE_ALWAYS;
            flags |= update ? _O_RDWR : _O_WRONLY;
            break;
        case 'a':
            access = GENERIC_WRITE | (update ? GENERIC_READ : 0);
            disposition = OPEN_ALWAYS;
            flags |= (update ? _O_RDWR : _O_WRONLY) | _O_APPEND;
            break;
        default:
            errno = EINVAL;
            return nullptr;
    }
    // CreateFileW rather than _wfopen: the C library's sharing mode leaves out
    // FILE_SHARE_DELETE, and then nobody could move or delete a file we are reading.
    HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = ErrnoFor(GetLastError());
        return nullptr;
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags);
    if (fd < 0) {
        CloseHandle(h);
        errno = EMFILE;
        return nullptr;
    }
    const char* streamMode = mode[0] == 'r'   ? (update ? "r+b" : "rb")
                             : mode[0] == 'w' ? (update ? "w+b" : "wb")
                                              : (update ? "a+b" : "ab");
    std::FILE* file = _fdopen(fd, streamMode);
    if (file == nullptr) {
        _close(fd);
    }
    return FileHandle(file);
}

bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return h != INVALID_HANDLE_VALUE && FlushFileBuffers(h);
}

FileStatus StatusOf(const std::string& path) {
    // Opened without asking for data access, as stat does not need it; backup semantics
    // let it open a directory too.
    HANDLE h = CreateFileW(Utf8ToWide(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return {};
    }
    FileStatus status = StatusOfHandle(h);
    CloseHandle(h);
    return status;
}

FileStatus StatusOf(std::FILE* file) {
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return h == INVALID_HANDLE_VALUE ? FileStatus{} : StatusOfHandle(h);
}

std::error_code RenameOver(const std::string& from, const std::string& to) {
    const std::wstring source = Utf8ToWide(from);
    const std::wstring target = Utf8ToWide(to);
    const auto deadline = std::chrono::steady_clock::now() + kRenamePatience;
    for (;;) {
        if (MoveFileExW(source.c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            return {};
        }
        const DWORD error = GetLastError();
        if (!WorthAnotherTry(error) || std::chrono::steady_clock::now() >= deadline) {
            return ErrorOf(error);
        }
        std::this_thread::sleep_for(kRenamePause);
    }
}

std::error_code LastSystemError() {
    return ErrorOf(GetLastError());
}

}  // namespace platform

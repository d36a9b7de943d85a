#include "install/FileWriter.h"

#include <algorithm>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include "platform/WinText.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace install {

FileWriter::FileWriter(std::size_t bufferSize) : bufferSize_(bufferSize) {}

FileWriter::~FileWriter() {
    Close();
}

bool FileWriter::Fail(const std::string& what) {
#ifdef _WIN32
    error_ = what + " " + path_ + " (error " + std::to_string(GetLastError()) + ")";
#else
    error_ = what + " " + path_ + ": " + std::strerror(errno);
#endif
    return false;
}

#ifdef _WIN32

bool FileWriter::IsOpen() const {
    return handle_ != nullptr;
}

bool FileWriter::Create(const std::string& path, bool /*executable*/) {
    Close();
    path_ = path;
    error_.clear();
    written_ = 0;
    buffered_ = 0;
    std::wstring wide = platform::Utf8ToWide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            error_ = "refusing to replace the link " + path;
            return false;
        }
        if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            error_ = "refusing to replace the read-only file " + path;
            return false;
        }
    }
    HANDLE h = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        return Fail("cannot create");
    }
    handle_ = h;
    if (bufferSize_ > 0 && !buffer_) {
        buffer_ = std::make_unique<char[]>(bufferSize_);
    }
    return true;
}

namespace {
bool WriteAll(HANDLE h, const char* data, std::size_t size) {
    while (size > 0) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
        DWORD done = 0;
        if (!WriteFile(h, data, chunk, &done, nullptr) || done == 0) {
            return false;
        }
        data += done;
        size -= done;
    }
    return true;
}
}  // namespace

bool FileWriter::Flush() {
    if (buffered_ == 0) {
        return true;
    }
    std::size_t n = buffered_;
    buffered_ = 0;
    return WriteAll(static_cast<HANDLE>(handle_), buffer_.get(), n) || Fail("cannot write");
}

bool FileWriter::Write(const void* data, std::size_t size) {
    if (handle_ == nullptr) {
        error_ = "file not open";
        return false;
    }
    written_ += size;
    if (bufferSize_ == 0 || size >= bufferSize_) {
        return Flush() &&
               (WriteAll(static_cast<HANDLE>(handle_), static_cast<const char*>(data), size) ||
                Fail("cannot write"));
    }
    if (buffered_ + size > bufferSize_ && !Flush()) {
        return false;
    }
    std::memcpy(buffer_.get() + buffered_, data, size);
    buffered_ += size;
    return true;
}

bool FileWriter::Truncate() {
    if (handle_ == nullptr) {
        return false;
    }
    buffered_ = 0;
    written_ = 0;
    LARGE_INTEGER zero{};
    HANDLE h = static_cast<HANDLE>(handle_);
    return (SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) && SetEndOfFile(h)) ||
           Fail("cannot truncate");
}

bool FileWriter::SetTimes(std::uint64_t creation, std::uint64_t access, std::uint64_t write) {
    if (handle_ == nullptr || !Flush()) {
        return false;
    }
    auto toFileTime = [](std::uint64_t t) {
        FILETIME ft{static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        return ft;
    };
    FILETIME c = toFileTime(creation), a = toFileTime(access), w = toFileTime(write);
    return SetFileTime(static_cast<HANDLE>(handle_), creation ? &c : nullptr, access ? &a : nullptr,
                       write ? &w : nullptr) ||
           Fail("cannot set the times of");
}

bool FileWriter::MakeReadOnly() {
    if (handle_ == nullptr) {
        return false;
    }
    FILE_BASIC_INFO info{};
    HANDLE h = static_cast<HANDLE>(handle_);
    if (!GetFileInformationByHandleEx(h, FileBasicInfo, &info, sizeof info)) {
        return Fail("cannot read the attributes of");
    }
    info.FileAttributes |= FILE_ATTRIBUTE_READONLY;
    return SetFileInformationByHandle(h, FileBasicInfo, &info, sizeof info) ||
           Fail("cannot make read-only");
}

bool FileWriter::Close() {
    if (handle_ == nullptr) {
        return error_.empty();
    }
    bool ok = Flush();
    if (!CloseHandle(static_cast<HANDLE>(handle_)) && ok) {
        ok = Fail("cannot close");
    }
    handle_ = nullptr;
    return ok && error_.empty();
}

#else

bool FileWriter::IsOpen() const {
    return fd_ >= 0;
}

bool FileWriter::Create(const std::string& path, bool executable) {
    Close();
    path_ = path;
    error_.clear();
    written_ = 0;
    buffered_ = 0;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            error_ = "refusing to replace the symbolic link " + path;
            return false;
        }
        if (S_ISREG(st.st_mode)) {
            if ((st.st_mode & S_IWUSR) == 0) {
                error_ = "refusing to replace the read-only file " + path;
                return false;
            }
            // A new file rather than a truncated one: a running copy of the program keeps
            // its old image, and the new file gets its own permissions.
            if (unlink(path.c_str()) != 0) {
                return Fail("cannot replace");
            }
        }
    }
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  executable ? 0777 : 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Fail("cannot create");
    }
    fd_ = fd;
    if (bufferSize_ > 0 && !buffer_) {
        buffer_ = std::make_unique<char[]>(bufferSize_);
    }
    return true;
}

namespace {
bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (done == 0) {
            errno = ENOSPC;
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}
}  // namespace

bool FileWriter::Flush() {
    if (buffered_ == 0) {
        return true;
    }
    std::size_t n = buffered_;
    buffered_ = 0;
    return WriteAll(fd_, buffer_.get(), n) || Fail("cannot write");
}

bool FileWriter::Write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        error_ = "file not open";
        return false;
    }
    written_ += size;
    if (bufferSize_ == 0 || size >= bufferSize_) {
        return Flush() &&
               (WriteAll(fd_, static_cast<const char*>(data), size) || Fail("cannot write"));
    }
    if (buffered_ + size > bufferSize_ && !Flush()) {
        return false;
    }
    std::memcpy(buffer_.get() + buffered_, data, size);
    buffered_ += size;
    return true;
}

bool FileWriter::Truncate() {
    if (fd_ < 0) {
        return false;
    }
    buffered_ = 0;
    written_ = 0;
    return (ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0) || Fail("cannot truncate");
}

bool FileWriter::SetTimes(std::uint64_t /*creation*/, std::uint64_t access, std::uint64_t write) {
    if (fd_ < 0 || !Flush()) {
        return false;
    }
    // 100 ns ticks between 1601-01-01 and 1970-01-01.
    constexpr std::int64_t kEpochTicks = 116444736000000000LL;
    auto toTimespec = [](std::uint64_t t) {
        timespec ts{};
        if (t == 0) {
            ts.tv_nsec = UTIME_OMIT;
            return ts;
        }
        std::int64_t unixTicks = static_cast<std::int64_t>(t) - kEpochTicks;
        std::int64_t seconds = unixTicks / 10000000;
        std::int64_t rest = unixTicks % 10000000;
        if (rest < 0) {
            rest += 10000000;
            --seconds;
        }
        ts.tv_sec = static_cast<time_t>(seconds);
        ts.tv_nsec = static_cast<long>(rest * 100);
        return ts;
    };
    timespec times[2] = {toTimespec(access), toTimespec(write)};
    return futimens(fd_, times) == 0 || Fail("cannot set the times of");
}

bool FileWriter::MakeReadOnly() {
    struct stat st {};
    if (fd_ < 0 || fstat(fd_, &st) != 0) {
        return Fail("cannot read the permissions of");
    }
    return fchmod(fd_, st.st_mode & 07555) == 0 || Fail("cannot make read-only");
}

bool FileWriter::Close() {
    if (fd_ < 0) {
        return error_.empty();
    }
    bool ok = Flush();
    if (::close(fd_) != 0 && ok) {
        ok = Fail("cannot close");
    }
    fd_ = -1;
    return ok && error_.empty();
}

#endif

}  // namespace install

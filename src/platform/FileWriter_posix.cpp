#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/FileWriter.h"
#include "platform/Files.h"

namespace platform {

bool FileWriter::Fail(const std::string& what) {
    errorCode_ = LastSystemError();
    error_ = what + " " + path_ + ": " + std::strerror(errno);
    return false;
}

bool FileWriter::Prepare(const std::string& path, bool& exists) {
    Close();
    Reset(path);
    exists = false;
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0) {
        if (S_ISLNK(st.st_mode)) {
            return Refuse("refusing to write through the symbolic link ",
                          std::errc::operation_not_permitted);
        }
        if (S_ISREG(st.st_mode)) {
            if ((st.st_mode & S_IWUSR) == 0) {
                return Refuse("refusing to replace the read-only file ",
                              std::errc::permission_denied);
            }
            exists = true;
        }
    }
    return true;
}

bool FileWriter::Create(const std::string& path, bool executable) {
    bool exists = false;
    if (!Prepare(path, exists)) {
        return false;
    }
    // A new file rather than a truncated one: a running copy of the program keeps its old
    // image, and the new file gets its own permissions.
    if (exists && unlink(path.c_str()) != 0) {
        return Fail("cannot replace");
    }
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                  executable ? 0777 : 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Fail("cannot create");
    }
    Opened(fd);
    return true;
}

bool FileWriter::Append(const std::string& path) {
    bool exists = false;
    if (!Prepare(path, exists)) {
        return false;
    }
    int fd;
    do {
        fd = open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        return Fail("cannot open");
    }
    const off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0) {
        Fail("cannot find the end of");
        ::close(fd);
        return false;
    }
    Opened(fd);
    written_ = static_cast<std::uint64_t>(end);
    return true;
}

bool FileWriter::WriteAll(const char* data, std::size_t size) {
    const int fd = static_cast<int>(file_);
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

bool FileWriter::Truncate() {
    if (!IsOpen()) {
        return false;
    }
    buffered_ = 0;
    written_ = 0;
    const int fd = static_cast<int>(file_);
    return (ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0) || Fail("cannot truncate");
}

bool FileWriter::SetTimes(std::uint64_t /*creation*/, std::uint64_t access, std::uint64_t write) {
    if (!IsOpen() || !Flush()) {
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
    return futimens(static_cast<int>(file_), times) == 0 || Fail("cannot set the times of");
}

bool FileWriter::MakeReadOnly() {
    struct stat st {};
    const int fd = static_cast<int>(file_);
    if (!IsOpen() || fstat(fd, &st) != 0) {
        return Fail("cannot read the permissions of");
    }
    return fchmod(fd, st.st_mode & 07555) == 0 || Fail("cannot make read-only");
}

bool FileWriter::CloseFile() {
    return ::close(static_cast<int>(file_)) == 0;
}

}  // namespace platform

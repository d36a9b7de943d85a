#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/InstanceLock.h"

namespace platform {

InstanceLock::InstanceLock(std::string name) : name_(std::move(name)) {}

InstanceLock::~InstanceLock() {
    if (handle_ != -1) {
        ::close(static_cast<int>(handle_));
    }
}

bool InstanceLock::TryAcquire() {
    if (handle_ != -1) {
        return true;
    }
    int fd = ::open(name_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    handle_ = fd;
    return true;
}

}  // namespace platform

#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The lock that lets one copy of a program run at a time. The system drops it with the
// process however that ends, so a copy that crashed or was ended never keeps the next one
// from starting (a lock file naming a process id cannot promise that: ids come round
// again). Windows: a named mutex of the user's session; elsewhere an advisory lock on the
// file `name`.
class InstanceLock {
  public:
    explicit InstanceLock(std::string name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // True when this process now holds the lock (or already did); false while another
    // process holds it or when it cannot be made.
    bool TryAcquire();

  private:
    std::string name_;
    std::intptr_t handle_ = -1;  // the mutex handle or the file descriptor; -1 while not held
};

}  // namespace platform

#include <windows.h>

#include "platform/InstanceLock.h"
#include "platform/WinText.h"

namespace platform {

InstanceLock::InstanceLock(std::string name) : name_(std::move(name)) {}

InstanceLock::~InstanceLock() {
    if (handle_ != -1) {
        HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    }
}

bool InstanceLock::TryAcquire() {
    if (handle_ != -1) {
        return true;
    }
    // "Local\": one per user session, as the launcher is one per user.
    const std::wstring name = L"Local\\" + Utf8ToWide(name_);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, name.c_str());
    if (mutex == nullptr) {
        return false;
    }
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return false;
    }
    handle_ = reinterpret_cast<std::intptr_t>(mutex);
    return true;
}

}  // namespace platform

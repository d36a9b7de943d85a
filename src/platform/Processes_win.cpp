// The Toolhelp header builds on the types of windows.h.
// clang-format off
#include <windows.h>
#include <tlhelp32.h>
// clang-format on

#include "platform/Processes.h"

namespace platform {

std::vector<long> FindProcesses(const std::string& name) {
    std::vector<long> ids;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) {
        return ids;
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry)) {
        if (name == entry.szExeFile) {
            ids.push_back(static_cast<long>(entry.th32ProcessID));
        }
    }
    CloseHandle(snap);
    return ids;
}

int TerminateProcesses(const std::string& name) {
    int count = 0;
    for (long id : FindProcesses(name)) {
        HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id));
        if (h != nullptr) {
            count += TerminateProcess(h, 0) ? 1 : 0;
            CloseHandle(h);
        }
    }
    return count;
}

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

}  // namespace platform

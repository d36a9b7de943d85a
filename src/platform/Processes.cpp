#include "platform/Processes.h"

#ifdef _WIN32
#include <windows.h>
#include <tlhelp32.h>
#else
#include <csignal>
#include <filesystem>
#include <fstream>
#endif

namespace platform {

#ifdef _WIN32

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

#else

namespace {
// The executable's file name of a process: the target of /proc/PID/exe when readable,
// else the command name in /proc/PID/comm (which the kernel cuts to 15 bytes).
std::string ProcessName(const std::filesystem::path& procDir) {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink(procDir / "exe", ec);
    if (!ec) {
        std::string file = exe.filename().string();
        const std::string deleted = " (deleted)";
        if (file.size() > deleted.size() &&
            file.compare(file.size() - deleted.size(), deleted.size(), deleted) == 0) {
            file.resize(file.size() - deleted.size());
        }
        return file;
    }
    std::ifstream comm(procDir / "comm");
    std::string name;
    std::getline(comm, name);
    return name;
}
}  // namespace

std::vector<long> FindProcesses(const std::string& name) {
    std::vector<long> ids;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        if (ProcessName(entry.path()) == name) {
            ids.push_back(std::stol(pid));
        }
    }
    return ids;
}

int TerminateProcesses(const std::string& name) {
    int count = 0;
    for (long id : FindProcesses(name)) {
        count += kill(static_cast<pid_t>(id), SIGTERM) == 0 ? 1 : 0;
    }
    return count;
}

#endif

}  // namespace platform

#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "platform/Processes.h"

namespace platform {
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

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

}  // namespace platform

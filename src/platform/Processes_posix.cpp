#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "platform/Processes.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

// The path the kernel reports for a process's executable, resolved the same way, so
// symbolic links in the program directory do not hide a process.
std::string Resolved(const std::string& executablePath) {
    std::error_code ec;
    fs::path full = fs::absolute(executablePath, ec);
    if (!ec) {
        full = fs::weakly_canonical(full, ec);
    }
    return ec ? fs::path(executablePath).lexically_normal().string() : full.string();
}

// True when /proc/PID belongs to the current user and its executable is `wanted`. A
// program file replaced while it runs (as an update does) still counts as the same program.
bool Matches(const fs::path& procDir, const std::string& wanted) {
    struct stat st {};
    if (stat(procDir.c_str(), &st) != 0 || st.st_uid != geteuid()) {
        return false;
    }
    std::error_code ec;
    std::string exe = fs::read_symlink(procDir / "exe", ec).string();
    if (ec) {
        return false;
    }
    const std::string deleted = " (deleted)";
    if (exe.size() > deleted.size() &&
        exe.compare(exe.size() - deleted.size(), deleted.size(), deleted) == 0) {
        exe.resize(exe.size() - deleted.size());
    }
    return exe == wanted;
}

bool IsProcessId(const std::string& name) {
    return !name.empty() && name.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

std::vector<long> FindProcesses(const std::string& executablePath) {
    std::vector<long> ids;
    const std::string wanted = Resolved(executablePath);
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string pid = entry.path().filename().string();
        if (IsProcessId(pid) && Matches(entry.path(), wanted)) {
            ids.push_back(std::stol(pid));
        }
    }
    return ids;
}

int TerminateProcesses(const std::string& executablePath) {
    const std::string wanted = Resolved(executablePath);
    int count = 0;
    for (long id : FindProcesses(executablePath)) {
        // Looked at once more right before the signal, so an id taken over by another
        // program in the meantime is left alone.
        if (Matches(fs::path("/proc") / std::to_string(id), wanted) &&
            kill(static_cast<pid_t>(id), SIGTERM) == 0) {
            ++count;
        }
    }
    return count;
}

long CurrentProcessId() {
    return static_cast<long>(getpid());
}

}  // namespace platform

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Shell.h"

namespace platform {

bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& workingDir, bool hidden) {
    if (program.empty()) {
        return false;
    }
    if (program.find('/') != std::string::npos) {
        struct stat st {};
        if (stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
            access(program.c_str(), X_OK) != 0) {
            return false;
        }
    }
    // Everything the child needs is prepared before fork: after it, only async-signal-safe
    // calls are allowed because other threads may hold locks.
    std::vector<std::string> argvText;
    argvText.push_back(program);
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argvText) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    const char* dir = workingDir.empty() ? nullptr : workingDir.c_str();

    // The exec result comes back through a close-on-exec pipe: no bytes mean it worked.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) {
        return false;
    }
    pid_t child = fork();
    if (child < 0) {
        close(report[0]);
        close(report[1]);
        return false;
    }
    if (child == 0) {
        // Detach through a second fork so the started program is never our zombie.
        setsid();
        if (fork() != 0) {
            _exit(0);
        }
        int fail = 0;
        if (dir != nullptr && chdir(dir) != 0) {
            fail = errno;
            (void)!write(report[1], &fail, sizeof fail);
            _exit(127);
        }
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, STDIN_FILENO);
            if (hidden) {
                dup2(devnull, STDOUT_FILENO);
                dup2(devnull, STDERR_FILENO);
            }
            if (devnull > STDERR_FILENO) {
                close(devnull);
            }
        }
        execvp(argv[0], argv.data());
        fail = errno;
        (void)!write(report[1], &fail, sizeof fail);
        _exit(127);
    }
    close(report[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int fail = 0;
    ssize_t got;
    while ((got = read(report[0], &fail, sizeof fail)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return got == 0;
}

bool SystemOpenUrl(const std::string& url) {
    return StartProgram("xdg-open", {url}, {}, true);
}

}  // namespace platform

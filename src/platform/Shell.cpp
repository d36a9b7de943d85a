#include "platform/Shell.h"

#include <mutex>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>

#include "platform/WinText.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace platform {
namespace {
std::mutex g_openerMutex;
std::function<bool(const std::string&)> g_opener;
}  // namespace

#ifdef _WIN32

namespace {
// Windows command-line quoting for one argument.
std::wstring Quote(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) {
        return arg;
    }
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        out.append(c == L'"' ? slashes * 2 + 1 : slashes, L'\\');
        slashes = 0;
        out.push_back(c);
    }
    out.append(slashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}
}  // namespace

bool StartProgram(const std::string& program, const std::vector<std::string>& args,
                  const std::string& workingDir, bool hidden) {
    std::wstring params;
    for (const auto& a : args) {
        if (!params.empty()) {
            params.push_back(L' ');
        }
        params += Quote(Utf8ToWide(a));
    }
    std::wstring file = Utf8ToWide(program);
    std::wstring dir = Utf8ToWide(workingDir);
    HINSTANCE h = ShellExecuteW(nullptr, L"open", file.c_str(),
                                params.empty() ? nullptr : params.c_str(),
                                dir.empty() ? nullptr : dir.c_str(), hidden ? SW_HIDE : SW_SHOW);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

static bool DefaultOpenUrl(const std::string& url) {
    std::wstring w = Utf8ToWide(url);
    HINSTANCE h = ShellExecuteW(nullptr, L"open", w.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(h) > 32;
}

#else

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

static bool DefaultOpenUrl(const std::string& url) {
    return StartProgram("xdg-open", {url}, {}, true);
}

#endif

bool OpenUrl(const std::string& url) {
    std::function<bool(const std::string&)> opener;
    {
        std::lock_guard lock(g_openerMutex);
        opener = g_opener;
    }
    return opener ? opener(url) : DefaultOpenUrl(url);
}

void SetUrlOpener(std::function<bool(const std::string&)> opener) {
    std::lock_guard lock(g_openerMutex);
    g_opener = std::move(opener);
}

}  // namespace platform

#pragma once
// Windows only: programs started by the Windows tests, through CreateProcessW with a command
// line quoted as the C runtime splits it again, and output caught in files.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/WinText.h"

namespace wintest {

// A path in the UTF-8 the core takes (path::string() would give the ANSI code page).
inline std::string Utf8(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// A file's bytes; empty when it cannot be read.
inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline std::wstring CommandLine(const std::vector<std::filesystem::path>& args) {
    std::wstring line;
    for (const auto& arg : args) {
        line += (line.empty() ? L"" : L" ") + platform::QuoteArgument(arg.wstring());
    }
    return line;
}

// A program started by a test; the destructor ends it when it still runs.
class ChildProcess {
  public:
    // Output goes to `output` when given (stdout and stderr together), else nowhere.
    explicit ChildProcess(const std::vector<std::filesystem::path>& args,
                          const std::filesystem::path& output = {}) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = CreateFileW(output.empty() ? L"NUL" : output.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        HANDLE in = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, &inherit, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = in;
        startup.hStdOutput = out;
        startup.hStdError = out;
        std::wstring line = CommandLine(args);
        BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &info_);
        CloseHandle(out);
        CloseHandle(in);
        if (!started) {
            throw std::runtime_error("cannot start " + args.front().string() + " (error " +
                                     std::to_string(GetLastError()) + ")");
        }
        CloseHandle(info_.hThread);
    }
    ~ChildProcess() {
        if (info_.hProcess != nullptr) {
            if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(info_.hProcess, 1);
                WaitForSingleObject(info_.hProcess, INFINITE);
            }
            CloseHandle(info_.hProcess);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the end (at most two minutes) and returns the exit code, -1 when it still runs.
    int Wait() {
        if (WaitForSingleObject(info_.hProcess, 120000) != WAIT_OBJECT_0) {
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return static_cast<int>(code);
    }

  private:
    PROCESS_INFORMATION info_{};
};

struct ProgramRun {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

// Runs a program to its end.
inline ProgramRun Run(const std::vector<std::filesystem::path>& args,
                      const std::filesystem::path& workDir) {
    const std::filesystem::path output = workDir / "program-output.txt";
    ProgramRun run;
    {
        ChildProcess child(args, output);
        run.exitCode = child.Wait();
    }
    run.output = ReadFile(output);
    return run;
}

}  // namespace wintest

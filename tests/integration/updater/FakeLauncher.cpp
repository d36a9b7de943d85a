// A stand-in for the launcher in the updater's tests: a real program named Ravik_desk, so the
// process list shows it under that name. Each start is noted in launched.txt beside it (with
// LAUNCH_MARK, "fake" unless the build names another); given a file name it keeps running
// until that file exists (at most ten minutes).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef LAUNCH_MARK
#define LAUNCH_MARK "fake"
#endif

namespace {

// The program's own path and its arguments, as paths that keep any characters (on Windows
// the narrow argv would lose those outside the ANSI code page).
std::vector<std::filesystem::path> Arguments(int argc, char** argv) {
    std::vector<std::filesystem::path> args;
#ifdef _WIN32
    (void)argv;
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    args.emplace_back(self);
    for (int i = 1; i < count && i < argc; ++i) {
        args.emplace_back(wide[i]);
    }
    LocalFree(wide);
#else
    args.assign(argv, argv + argc);
#endif
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::filesystem::path> args = Arguments(argc, argv);
    std::ofstream(args[0].parent_path() / "launched.txt", std::ios::app | std::ios::binary)
        << LAUNCH_MARK "\n";
    if (args.size() > 1) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!std::filesystem::exists(args[1]) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return 0;
}

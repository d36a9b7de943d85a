// A stand-in for the launcher in the updater's tests: a real program named Ravik_desk, so the
// process list shows it under that name. Each start is noted in launched.txt beside it; given
// a file name it keeps running until that file exists (at most ten minutes).
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

int main(int argc, char** argv) {
    std::filesystem::path self(argv[0]);
    std::ofstream(self.parent_path() / "launched.txt", std::ios::app) << "fake\n";
    if (argc > 1) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(10);
        while (!std::filesystem::exists(argv[1]) && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    return 0;
}

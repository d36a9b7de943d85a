// A small program that the platform tests start and look for:
//   helper sleep SECONDS          keeps running for that long
//   helper report FILE ARG...     writes its working directory and each ARG, one per line,
//                                 to FILE and exits; FILE appears only once complete
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "sleep" && argc == 3) {
        std::this_thread::sleep_for(std::chrono::seconds(std::atoi(argv[2])));
        return 0;
    }
    if (mode == "report" && argc >= 3) {
        const std::filesystem::path file = argv[2];
        std::filesystem::path partial = file;
        partial += ".part";
        {
            std::ofstream out(partial, std::ios::binary);
            const std::u8string where = std::filesystem::current_path().u8string();
            out << std::string(where.begin(), where.end()) << '\n';
            for (int i = 3; i < argc; ++i) {
                out << argv[i] << '\n';
            }
        }
        std::filesystem::rename(partial, file);
        return 0;
    }
    return 2;
}

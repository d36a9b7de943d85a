// catalog_peak_memory: the peak resident memory of loading the three catalogs of a large
// program directory, measured in a process that does nothing else.
//
//   catalog_peak_memory DIR    generates the large directory into DIR when it has no
//                              gamecfg.dat yet, then re-runs itself to load it
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "LargeCatalog.h"
#include "catalog/Catalog.h"
#include "platform/Paths.h"

#ifdef _WIN32
#include <psapi.h>
#include <windows.h>
#else
#include <sys/resource.h>
#endif

namespace {

// Peak resident set of this process so far, in KiB.
long PeakKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters{};
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

int Load(const std::string& dir) {
    std::uintmax_t bytes = 0;
    for (const std::string& path : CatalogFiles(dir)) {
        bytes += std::filesystem::file_size(path);
    }
    long before = PeakKiB();
    catalog::Catalog cat(dir);
    cat.LoadAll();
    long after = PeakKiB();
    std::printf(
        "catalog files: %ju KiB; loaded %zu games, %zu general tools, %zu used entries\n"
        "peak resident memory: %ld KiB before loading, %ld KiB after (+%ld KiB)\n",
        bytes / 1024, cat.Games().size(), cat.GeneralTools().size(), cat.Used().size(), before,
        after, after - before);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string(argv[1]) == "--load") {
        return Load(platform::WithTrailingSeparator(argv[2]));
    }
    if (argc != 2) {
        std::fprintf(stderr, "usage: catalog_peak_memory DIR\n");
        return 2;
    }
    const std::string dir = platform::WithTrailingSeparator(argv[1]);
    if (!std::filesystem::exists(dir + "gamecfg.dat")) {
        std::filesystem::create_directories(dir);
        MakeLargeProgramDirectory(dir);
    }
    // Generating takes far more memory than loading, so loading runs in a fresh process.
    const std::string self = platform::ExecutablePath();
    const std::string command = "\"" + self + "\" --load \"" + dir + "\"";
    return std::system(command.c_str()) == 0 ? 0 : 1;
}

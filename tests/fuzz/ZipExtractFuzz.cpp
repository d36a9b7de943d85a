// Arbitrary bytes installed as a tool archive: nothing crashes, nothing is written outside
// the install directory, and a failed install leaves nothing at all.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "install/ToolInstall.h"

namespace fs = std::filesystem;

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

const fs::path& Root() {
    static const fs::path root = [] {
        auto path = fs::temp_directory_path() / ("ravik-fuzz-zip-" + std::to_string(::getpid()));
        fs::create_directories(path);
        return path;
    }();
    return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const fs::path root = Root();
    const fs::path tools = root / "LocalGameTool";
    install::RemoveFolder(tools);
    fs::remove(root / "a.zip");
    std::ofstream(root / "a.zip", std::ios::binary)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    // A small room, so large entries are refused rather than written.
    const std::uint64_t room = install::RoomOnDisk(root.string(), 0);
    const std::uint64_t reserve = room > (64u << 20) ? room - (64u << 20) : 0;
    const job::Result result = install::InstallArchive((root / "a.zip").string(),
                                                       (tools / "1").string(), nullptr, reserve);
    std::size_t entries = 0;
    for (const auto& entry : fs::directory_iterator(root)) {
        const auto name = entry.path().filename();
        Require(name == "a.zip" || name == "LocalGameTool");
        ++entries;
    }
    Require(entries <= 2);
    if (!result.Ok()) {
        Require(fs::is_empty(tools));
    } else {
        for (const auto& entry : fs::directory_iterator(tools)) {
            Require(entry.path().filename() == "1");
        }
    }
    return 0;
}

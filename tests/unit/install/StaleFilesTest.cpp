#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "TempDir.h"
#include "install/StaleFiles.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// Dates a file or folder an hour back. The Windows runtime's last_write_time cannot open a
// folder to change its time, so there the folder is opened with the flag that allows it.
void MakeAnHourOld(const fs::path& path) {
#ifdef _WIN32
    HANDLE handle = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << path;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER time;
    time.LowPart = now.dwLowDateTime;
    time.HighPart = now.dwHighDateTime;
    time.QuadPart -= 36000000000ULL;  // an hour in 100-nanosecond units
    FILETIME old{time.LowPart, time.HighPart};
    EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &old));
    CloseHandle(handle);
#else
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(1));
#endif
}

// What a killed sync or install leaves, beside what must stay: the resumable partial
// archive, files that only look alike, and a running copy's fresh temporary files.
TEST(StaleFiles, OnlyOldTemporaryFilesOfOurOwnNamingAreRemoved) {
    TempDir program;
    struct Case {
        std::string path;
        bool old;
        bool removed;
    } cases[] = {
        {"usercfg.dat.~4242-0.tmp", true, true},
        {"GameTool/5.dat.~17-3.tmp", true, true},
        {"GameIcon/5.png.part0a1b2c3d", true, true},
        {"ToolIcon/301.png.partdeadbeef", true, true},
        {"update.zip.part01234567", true, true},
        {"LocalGameTool/.unpack-4242-0/d/f.dat", true, true},
        {"usercfg.dat.~4243-0.tmp", false, false},
        {"LocalGameTool/.unpack-4243-1/d/f.dat", false, false},
        {"ToolDownload/20002.zip.part", true, false},
        {"ToolDownload/20002.zip.part0123", true, false},
        {"usercfg.dat", true, false},
        {"notes.tmp", true, false},
        {"a.~x-1.tmp", true, false},
        {"LocalGameTool/20002/cache.partdeadbeef", true, false},
        {"LocalGameTool/20002/run.exe", true, false},
    };
    for (const auto& c : cases) {
        program.Write(c.path, "x");
        if (c.old) {
            for (fs::path p = program.PathOf(c.path); p != program.path(); p = p.parent_path()) {
                MakeAnHourOld(p);
            }
        }
    }
    // A running extraction wrote into its staging folder's subfolder just now.
    MakeAnHourOld(program.PathOf("LocalGameTool/.unpack-4243-1"));

    install::RemoveStaleFiles(program.dir());
    for (const auto& c : cases) {
        EXPECT_EQ(fs::exists(program.PathOf(c.path)), !c.removed) << c.path;
    }
    EXPECT_FALSE(fs::exists(program.PathOf("LocalGameTool/.unpack-4242-0")));
}

}  // namespace

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "TempDir.h"
#include "platform/Files.h"
#include "platform/WinText.h"

namespace {

// A handle on the file that, like a virus scanner's, does not let it be replaced.
HANDLE HoldWithoutDeleteSharing(const std::string& path) {
    return CreateFileW(platform::Utf8ToWide(path).c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(FilesWin, RenameOverWaitsForAHolderThatLetsGo) {
    TempDir dir;
    dir.Write("gamecfg.dat", "old");
    dir.Write("gamecfg.dat.tmp", "new");
    HANDLE holder = HoldWithoutDeleteSharing(dir / "gamecfg.dat");
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    std::thread release([holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        CloseHandle(holder);
    });
    const std::error_code renamed =
        platform::RenameOver(dir / "gamecfg.dat.tmp", dir / "gamecfg.dat");
    release.join();
    EXPECT_FALSE(renamed) << renamed.message();
    EXPECT_EQ(dir.Read("gamecfg.dat"), "new");
}

TEST(FilesWin, RenameOverGivesUpOnAHolderThatNeverLetsGo) {
    TempDir dir;
    dir.Write("gamecfg.dat", "old");
    dir.Write("gamecfg.dat.tmp", "new");
    HANDLE holder = HoldWithoutDeleteSharing(dir / "gamecfg.dat");
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const std::error_code renamed =
        platform::RenameOver(dir / "gamecfg.dat.tmp", dir / "gamecfg.dat");
    CloseHandle(holder);
    EXPECT_TRUE(renamed);
    EXPECT_EQ(dir.Read("gamecfg.dat"), "old");
    EXPECT_EQ(dir.Read("gamecfg.dat.tmp"), "new");
}

}  // namespace

#include "platform/Shell.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "TempDir.h"
#include "platform/Processes.h"

namespace {

bool WaitForFile(const std::filesystem::path& file) {
    for (int i = 0; i < 500 && !std::filesystem::exists(file); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::filesystem::exists(file);
}

TEST(StartProgram, RunsInTheWorkingDirectoryWithArguments) {
    TempDir dir;
    dir.Write("tool.sh", "#!/bin/sh\npwd > where.txt\necho \"$1\" >> where.txt\n");
    chmod((dir / "tool.sh").c_str(), 0755);
    ASSERT_TRUE(platform::StartProgram(dir / "tool.sh", {"a b"}, dir.path().string(), true));
    ASSERT_TRUE(WaitForFile(dir.path() / "where.txt"));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(dir.Read("where.txt"),
              std::filesystem::canonical(dir.path()).string() + "\na b\n");
}

TEST(StartProgram, ReportsWhatCannotStart) {
    TempDir dir;
    dir.Write("plain.txt", "not a program");
    EXPECT_FALSE(platform::StartProgram(dir / "missing"));
    EXPECT_FALSE(platform::StartProgram(dir / "plain.txt"));  // not executable
    EXPECT_FALSE(platform::StartProgram("/bin/true", {}, dir / "no-such-dir"));
    EXPECT_FALSE(platform::StartProgram("no-such-program-on-path-xyz"));
    EXPECT_FALSE(platform::StartProgram(""));
}

TEST(OpenUrl, GoesThroughTheInstalledOpener) {
    std::string seen;
    platform::SetUrlOpener([&](const std::string& url) {
        seen = url;
        return true;
    });
    EXPECT_TRUE(platform::OpenUrl("http://example.test/x"));
    EXPECT_EQ(seen, "http://example.test/x");
    platform::SetUrlOpener({});
}

TEST(Processes, FindsAndEndsAProcessByExactName) {
    TempDir dir;
    std::filesystem::copy_file("/bin/sleep", dir / "Rv_Test_Sleeper");
    ASSERT_TRUE(platform::StartProgram(dir / "Rv_Test_Sleeper", {"30"}, {}, true));
    std::vector<long> found;
    for (int i = 0; i < 200 && found.empty(); ++i) {
        found = platform::FindProcesses("Rv_Test_Sleeper");
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(platform::FindProcesses("rv_test_sleeper").empty());  // case matters
    EXPECT_EQ(platform::TerminateProcesses("Rv_Test_Sleeper"), 1);
    for (int i = 0; i < 200 && !platform::FindProcesses("Rv_Test_Sleeper").empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(platform::FindProcesses("Rv_Test_Sleeper").empty());
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "RunningCopies.h"
#include "platform/Processes.h"

namespace {

TEST_F(RunningCopies, EachCopyIsFoundByItsFullPathOnly) {
    const std::vector<long> first = platform::FindProcesses(Program(first_));
    const std::vector<long> second = platform::FindProcesses(Program(second_));
    ASSERT_EQ(first.size(), 1u);
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(first[0], second[0]);

    TempDir idle;
    EXPECT_TRUE(platform::FindProcesses(Program(idle)).empty()) << "a directory without one";
    EXPECT_TRUE(platform::FindProcesses(kFileName).empty()) << "the bare name is no path";
}

TEST_F(RunningCopies, PathIsMadeFullBeforeMatching) {
    const std::string roundabout = (first_.path() / "sub" / ".." / kFileName).string();
    EXPECT_EQ(platform::FindProcesses(roundabout), platform::FindProcesses(Program(first_)));
}

TEST_F(RunningCopies, EndingOneCopyLeavesTheOtherRunning) {
    EXPECT_EQ(platform::TerminateProcesses(Program(first_)), 1);
    EXPECT_TRUE(Eventually([&] { return platform::FindProcesses(Program(first_)).empty(); }));
    EXPECT_EQ(platform::FindProcesses(Program(second_)).size(), 1u);
}

TEST_F(RunningCopies, LetterCaseMattersWhereTheFileSystemSaysSo) {
    std::string shouted = Program(first_);
    std::transform(shouted.begin(), shouted.end(), shouted.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
#ifdef _WIN32
    EXPECT_EQ(platform::FindProcesses(shouted), platform::FindProcesses(Program(first_)));
#else
    EXPECT_TRUE(platform::FindProcesses(shouted).empty());
#endif
}

}  // namespace

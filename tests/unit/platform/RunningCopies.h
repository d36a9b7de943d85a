#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "Eventually.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "platform/Processes.h"
#include "platform/Shell.h"

// Two running copies of one program under the same file name, each in its own directory,
// as two program directories of the launcher would have them.
class RunningCopies : public ::testing::Test {
  protected:
    static inline const std::string kFileName =
        std::string("Rv_Test_Sleeper") + platform::kExecutableSuffix;

    void SetUp() override {
        for (const TempDir* dir : {&first_, &second_}) {
            std::filesystem::copy_file(U8Path(HelperProgram()), U8Path(Program(*dir)));
            ASSERT_TRUE(platform::StartProgram(Program(*dir), {"sleep", "120"}, {}, true));
        }
        for (const TempDir* dir : {&first_, &second_}) {
            ASSERT_TRUE(Eventually(
                [&] { return platform::FindProcesses(Program(*dir)).size() == 1; }, kPatience))
                << Program(*dir) << " never showed up";
        }
    }

    void TearDown() override {
        for (const TempDir* dir : {&first_, &second_}) {
            platform::TerminateProcesses(Program(*dir));
            Eventually([&] { return platform::FindProcesses(Program(*dir)).empty(); }, kPatience);
        }
    }

    static std::string Program(const TempDir& dir) { return dir / kFileName; }

    static constexpr std::chrono::seconds kPatience{10};

    TempDir first_;
    TempDir second_;
};

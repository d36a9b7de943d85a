#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "job/Log.h"

namespace {

TEST(LogTest, FailuresReachTheInstalledSinkAndSuccessesDoNot) {
    std::vector<std::pair<job::Log::Level, std::string>> lines;
    job::Log::SetSink([&lines](job::Log::Level level, const std::string& line) {
        lines.emplace_back(level, line);
    });
    job::Log::Failure("saving", job::Result::Done());
    job::Log::Failure("saving", job::Result::Failed(job::Code::WriteFailed, "disk full"));
    job::Log::Failure("download", job::Result::Failed(job::Code::Cancelled, "cancelled"));
    job::Log::SetSink({});
    job::Log::Failure("saving", job::Result::Failed(job::Code::WriteFailed, "after"));

    using Level = job::Log::Level;
    EXPECT_EQ(lines, (std::vector<std::pair<Level, std::string>>{
                         {Level::Warning, "saving: write failed: disk full"},
                         {Level::Info, "download: cancelled: cancelled"},
                     }));
}

}  // namespace

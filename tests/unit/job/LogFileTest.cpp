#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "job/LogFile.h"

namespace {

using Level = job::Log::Level;

// Lines of a file, without their ends.
std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the file ends inside a line";
    return lines;
}

TEST(LogFileTest, EachCallIsOneStampedLineInTheOrderWritten) {
    TempDir dir;
    job::LogFile log(dir / "ravik.log");
    log.Write(Level::Info, "start");
    log.Write(Level::Warning, "download 20001: network: timed out\r\nsecond part");
    log.Write(Level::Error, "游戏桌面");
    log.Flush();

    const std::vector<std::string> lines = Lines(dir.Read("ravik.log"));
    ASSERT_EQ(lines.size(), 3u);
    const std::regex stamp(R"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d (INFO|WARN|ERROR) .*)");
    for (const std::string& line : lines) {
        EXPECT_TRUE(std::regex_match(line, stamp)) << line;
    }
    EXPECT_EQ(lines[0].substr(20), "INFO start");
    EXPECT_EQ(lines[1].substr(20), "WARN download 20001: network: timed out  second part");
    EXPECT_EQ(lines[2].substr(20), "ERROR 游戏桌面");
}

TEST(LogFileTest, AppendsToTheFileOfAnEarlierRun) {
    TempDir dir;
    dir.Write("ravik.log", "earlier run\n");
    {
        job::LogFile log(dir / "ravik.log");
        log.Write(Level::Info, "this run");
    }  // the end writes what is queued
    const std::vector<std::string> lines = Lines(dir.Read("ravik.log"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "earlier run");
    EXPECT_EQ(lines[1].substr(20), "INFO this run");
}

// The log stays bounded however much is written: full files move up one number, the oldest
// goes, and no line is cut or lost from the files kept.
TEST(LogFileTest, RotatesAtItsSizeAndKeepsAFixedNumberOfFiles) {
    TempDir dir;
    const job::LogFile::Limits limits{1000, 3};
    {
        job::LogFile log(dir / "ravik.log", limits);
        for (int i = 0; i < 200; ++i) {
            log.Write(Level::Info, "line " + std::to_string(i));
            log.Flush();  // one line per batch, so every file ends as full as it may be
        }
    }
    EXPECT_FALSE(std::filesystem::exists(dir.PathOf("ravik.log.3")));
    std::vector<std::string> kept;
    for (const char* name : {"ravik.log.2", "ravik.log.1", "ravik.log"}) {
        const std::string text = dir.Read(name);
        EXPECT_LE(text.size(), limits.maxBytes) << name;
        EXPECT_GT(text.size(), limits.maxBytes / 2) << name;
        for (const std::string& line : Lines(text)) {
            kept.push_back(line.substr(25));  // after the stamp and "INFO "
        }
    }
    // The newest lines survive, in order, up to the last one written.
    ASSERT_FALSE(kept.empty());
    EXPECT_EQ(kept.back(), "line 199");
    const int first = std::stoi(kept.front().substr(5));
    for (std::size_t n = 0; n < kept.size(); ++n) {
        EXPECT_EQ(kept[n], "line " + std::to_string(first + static_cast<int>(n)));
    }
}

TEST(LogFileTest, LinesFromManyThreadsAreNeverInterleaved) {
    TempDir dir;
    job::LogFile log(dir / "ravik.log");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 250; ++i) {
                log.Write(Level::Info, "thread " + std::to_string(t) + " line " +
                                           std::to_string(i) + std::string(40, 'x'));
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    log.Flush();
    const std::regex whole(R"(.{20}INFO thread \d line \d+x{40})");
    const std::vector<std::string> lines = Lines(dir.Read("ravik.log"));
    EXPECT_EQ(lines.size(), 1000u);
    for (const std::string& line : lines) {
        ASSERT_TRUE(std::regex_match(line, whole)) << line;
    }
}

TEST(LogFileTest, AnUnwritableDirectoryLosesTheLinesAndNothingElse) {
    TempDir dir;
    dir.Write("file", "x");
    job::LogFile log(dir / "file/ravik.log");  // a path below a file: no one can create it
    log.Write(Level::Warning, "lost");
    log.Flush();
    EXPECT_FALSE(std::filesystem::exists(dir.PathOf("file/ravik.log")));
}

}  // namespace

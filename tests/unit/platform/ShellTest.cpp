#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "Eventually.h"
#include "TempDir.h"
#include "TestPaths.h"
#include "platform/Shell.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(StartProgram, RunsInTheWorkingDirectoryWithEachArgumentIntact) {
    TempDir dir;
    // Spaces, quotes, trailing backslashes and empty arguments are where command-line
    // quoting goes wrong.
    const std::vector<std::string> args = {"a b", "say \"hi\"", "back\\slash\\", "", "plain"};
    std::vector<std::string> command = {"report", "where.txt"};
    command.insert(command.end(), args.begin(), args.end());
    ASSERT_TRUE(platform::StartProgram(HelperProgram(), command, dir.path().string(), true));
    // Read only once every line is there and ends: the working directory and each argument.
    std::vector<std::string> lines;
    ASSERT_TRUE(Eventually([&] {
        const std::string text = dir.Read("where.txt");
        lines = Lines(text);
        return !text.empty() && text.back() == '\n' && lines.size() >= args.size() + 1;
    })) << dir.Read("where.txt");
    ASSERT_EQ(lines.size(), args.size() + 1);
    EXPECT_TRUE(std::filesystem::equivalent(U8Path(lines[0]), dir.path())) << lines[0];
    for (std::size_t i = 0; i < args.size(); ++i) {
        EXPECT_EQ(lines[i + 1], args[i]);
    }
}

TEST(StartProgram, ReportsWhatCannotStart) {
    TempDir dir;
    dir.Write("plain.txt", "not a program");
    struct Case {
        const char* what;
        std::string program;
        std::string workingDir;
    };
    const Case cases[] = {
        {"missing file", dir / ("missing" + std::string(platform::kExecutableSuffix)), {}},
        {"missing working directory", HelperProgram(), dir / "no-such-dir"},
        {"name not on the search path", "no-such-program-on-path-xyz", {}},
        {"empty name", "", {}},
#ifndef _WIN32
        // Windows opens a document with its program instead.
        {"not executable", dir / "plain.txt", {}},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(platform::StartProgram(c.program, {"sleep", "0"}, c.workingDir)) << c.what;
    }
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

}  // namespace

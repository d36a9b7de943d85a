#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Programs.h"
#include "platform/ProductVersion.h"

namespace {

struct HelpCase {
    const char* program;
    const char* name;
};

// An operator asks any program what it is and how to call it: the answer goes to stdout
// with exit 0, without a server, a program directory or a display; a wrong call still
// fails with the usage on stderr.
TEST(ProgramHelp, EveryProgramAnswersHelpAndVersion) {
    const HelpCase cases[] = {
        {DATASERVER_PATH, "ravik-dataserver"},
        {UPDATER_PATH, "Rv_Update"},
        {RAVIKCTL_PATH, "ravikctl"},
    };
    for (const HelpCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* flag : {"--help", "-h"}) {
            const ProgramRun help = RunProgram({c.program, flag});
            EXPECT_EQ(help.exitCode, 0) << flag;
            EXPECT_EQ(help.out.rfind(std::string("usage: ") + c.name, 0), 0u) << help.out;
            EXPECT_EQ(help.err, "");
        }
        const ProgramRun version = RunProgram({c.program, "--version"});
        EXPECT_EQ(version.exitCode, 0);
        EXPECT_EQ(version.out, std::string(c.name) + " " + platform::kProductVersion + "\n");

        const ProgramRun wrong = RunProgram({c.program, "--no-such-option"});
        EXPECT_NE(wrong.exitCode, 0);
        EXPECT_EQ(wrong.out, "");
        EXPECT_NE(wrong.err.find("usage: "), std::string::npos) << wrong.err;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Programs.h"
#include "ScopedEnv.h"
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
    const ScopedEnv noDisplay("DISPLAY", nullptr);
    const ScopedEnv noWayland("WAYLAND_DISPLAY", nullptr);
    const ScopedEnv noPlatform("QT_QPA_PLATFORM", nullptr);
    std::vector<HelpCase> cases = {
        {DATASERVER_PATH, "ravik-dataserver"},
        {UPDATER_PATH, "Rv_Update"},
        {RAVIKCTL_PATH, "ravikctl"},
    };
#ifdef DESK_PATH
    cases.push_back({DESK_PATH, "Ravik_desk"});
#endif
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

        if (std::string(c.name) == "Ravik_desk") {
            continue;  // the launcher tells a wrong call in a message box, on a display
        }
        const ProgramRun wrong = RunProgram({c.program, "--no-such-option"});
        EXPECT_NE(wrong.exitCode, 0);
        EXPECT_EQ(wrong.out, "");
        EXPECT_NE(wrong.err.find("usage: "), std::string::npos) << wrong.err;
    }
}

}  // namespace

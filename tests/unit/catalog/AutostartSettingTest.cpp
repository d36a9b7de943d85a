#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AutostartSandbox.h"
#include "TempDir.h"
#include "catalog/AutostartSetting.h"
#include "catalog/IniFile.h"
#include "platform/Autostart.h"
#include "platform/Paths.h"

namespace {

// A program directory with a portable launcher in it, and an autostart location of its own.
class AutostartSettingTest : public testing::Test {
  protected:
    AutostartSettingTest() { program_.Write(launcher_, "portable launcher"); }

    std::string Stored() const {
        return catalog::ReadProfileString(settings_.FilePath(), "system", "autostart", "<missing>",
                                          9);
    }

    const std::string launcher_ = std::string("Ravik_desk") + platform::kExecutableSuffix;
    AutostartSandbox sandbox_;
    TempDir program_;
    catalog::UserSettings settings_{program_.dir()};
};

TEST_F(AutostartSettingTest, TheEntryAndTheKeyFollowTheChoice) {
    ASSERT_TRUE(catalog::ApplyAutostart(settings_, true).ok());
    EXPECT_EQ(platform::AutostartCommand(), std::vector<std::string>{program_.dir() + launcher_});
    EXPECT_EQ(Stored(), "1");
    ASSERT_TRUE(catalog::ApplyAutostart(settings_, false).ok());
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_EQ(Stored(), "0");
}

// A launcher started on a program directory it would not find by itself (--data-dir) makes an
// entry that names that directory too, so the start at logon uses the same data; a portable
// copy in its own program directory needs no argument.
TEST_F(AutostartSettingTest, TheEntryKeepsAProgramDirectoryNamedOnTheCommandLine) {
    struct Case {
        const char* name;
        const char* folder;  // the program directory below program_
        bool portable;       // a launcher lies in it
    } cases[] = {
        {"portable copy", "copy", true},
        {"named directory", "data", false},
        {"named directory with spaces and Chinese", "游戏 桌面 $HOME 100%", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string programDir = program_.dir() + c.folder + platform::kSeparator;
        program_.Write(std::string(c.folder) + "/usercfg.dat", "");
        if (c.portable) {
            program_.Write(std::string(c.folder) + "/" + launcher_, "portable launcher");
        }
        catalog::UserSettings settings(programDir);
        ASSERT_TRUE(catalog::ApplyAutostart(settings, true).ok());
        const std::vector<std::string> expected =
            c.portable
                ? std::vector<std::string>{programDir + launcher_}
                : std::vector<std::string>{platform::ExecutablePath(), "--data-dir", programDir};
        EXPECT_EQ(platform::AutostartCommand(), expected);
        ASSERT_TRUE(catalog::ApplyAutostart(settings, false).ok());
        EXPECT_TRUE(platform::AutostartCommand().empty());
    }
}

#ifndef _WIN32
// The system's entry and usercfg.dat are separate stores: when the entry cannot be written
// (here a file stands where the autostart folder should be) the choice is still recorded,
// and the outcome says that something failed.
TEST_F(AutostartSettingTest, TheChoiceIsRecordedWhenTheEntryCannotBeWritten) {
    sandbox_.ConfigDirectory().Write("autostart", "a file where the autostart folder should be");
    catalog::Outcome outcome = catalog::ApplyAutostart(settings_, true);
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    EXPECT_NE(outcome.reason, "");
    EXPECT_EQ(Stored(), "1");
}
#endif

}  // namespace

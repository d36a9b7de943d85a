#include <gtest/gtest.h>

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
    EXPECT_EQ(platform::AutostartProgram(), program_.dir() + launcher_);
    EXPECT_EQ(Stored(), "1");
    ASSERT_TRUE(catalog::ApplyAutostart(settings_, false).ok());
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_EQ(Stored(), "0");
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

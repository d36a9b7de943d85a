#include <gtest/gtest.h>

#include <cstdlib>

#include "TempDir.h"
#include "catalog/AutostartSetting.h"
#include "catalog/IniFile.h"
#include "platform/Autostart.h"

namespace {

// A program directory with a portable launcher in it, and an autostart location of its own.
class AutostartSettingTest : public testing::Test {
  protected:
    AutostartSettingTest() {
        program_.Write("Ravik_desk", "portable launcher");
        setenv("XDG_CONFIG_HOME", (config_ / "config").c_str(), 1);
    }
    ~AutostartSettingTest() override { unsetenv("XDG_CONFIG_HOME"); }

    std::string Stored() const {
        return catalog::ReadProfileString(settings_.FilePath(), "system", "autostart", "<missing>",
                                          9);
    }

    TempDir program_;
    TempDir config_;
    catalog::UserSettings settings_{program_.dir()};
};

TEST_F(AutostartSettingTest, TheEntryAndTheKeyFollowTheChoice) {
    ASSERT_TRUE(catalog::ApplyAutostart(settings_, true).ok());
    EXPECT_EQ(platform::AutostartProgram(), program_.dir() + "Ravik_desk");
    EXPECT_EQ(Stored(), "1");
    ASSERT_TRUE(catalog::ApplyAutostart(settings_, false).ok());
    EXPECT_EQ(platform::AutostartProgram(), "");
    EXPECT_EQ(Stored(), "0");
}

// The system's entry and usercfg.dat are separate stores: when the entry cannot be written
// the choice is still recorded, and the outcome says that something failed.
TEST_F(AutostartSettingTest, TheChoiceIsRecordedWhenTheEntryCannotBeWritten) {
    config_.Write("config", "a file where the autostart folder's parent should be");
    catalog::Outcome outcome = catalog::ApplyAutostart(settings_, true);
    EXPECT_EQ(outcome.code, catalog::Outcome::WriteFailed);
    EXPECT_NE(outcome.reason, "");
    EXPECT_EQ(Stored(), "1");
}

}  // namespace

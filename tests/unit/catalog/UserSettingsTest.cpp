#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "TempDir.h"
#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"

using catalog::UserSettings;

namespace {

struct ReaderCase {
    const char* name;
    std::function<std::string(const UserSettings&)> read;
    const char* section;
    const char* key;
    const char* fallback;
    std::size_t limit;
};

// Every reader of usercfg.dat with the default and the length its caller keeps.
const std::vector<ReaderCase>& Readers() {
    static const std::vector<ReaderCase> readers = {
        {"Autostart", &UserSettings::Autostart, "system", "autostart", "", 19},
        {"AutoMinForRun", &UserSettings::AutoMinForRun, "system", "automin", "", 39},
        {"AutoMinForDialog", &UserSettings::AutoMinForDialog, "system", "automin", "", 19},
        {"ExitForClose", &UserSettings::ExitForClose, "system", "exit", "", 119},
        {"ExitForDialog", &UserSettings::ExitForDialog, "system", "exit", "", 19},
        {"AutoUpdate", &UserSettings::AutoUpdate, "system", "autoupdate", "", 19},
        {"FirstStart", &UserSettings::FirstStart, "system", "firststart", "", 119},
        {"VersionForAbout", &UserSettings::VersionForAbout, "ravikver", "version", "", 119},
        {"VersionForCheck", &UserSettings::VersionForCheck, "ravikver", "version", "", 119},
        {"VersionForReport", &UserSettings::VersionForReport, "ravikver", "version", "", 259},
        {"SerTimeForCheck", &UserSettings::SerTimeForCheck, "ravikver", "sertime", "", 119},
        {"SerTimeForStartup", &UserSettings::SerTimeForStartup, "ravikver", "sertime", "", 259},
        {"OldVersion", &UserSettings::OldVersion, "ravikver", "oldversion", "", 259},
        {"OldSerTime", &UserSettings::OldSerTime, "ravikver", "oldsertime", "", 259},
        {"LastTimeText", &UserSettings::LastTimeText, "ravikver", "lasttime", "", 119},
        {"PxTime", &UserSettings::PxTime, "ravikver", "pxtime", "0", 119},
    };
    return readers;
}

TEST(UserSettings, EveryReaderHasItsDefaultAndLimit) {
    for (const auto& r : Readers()) {
        TempDir dir;
        UserSettings settings(dir.dir());
        EXPECT_EQ(r.read(settings), r.fallback) << r.name << " without a file";
        dir.Write("usercfg.dat", "[other]\nx=1\n");
        EXPECT_EQ(r.read(settings), r.fallback) << r.name << " without the key";
        ASSERT_TRUE(catalog::WriteProfileKey(settings.FilePath(), r.section, r.key, "值1").ok());
        EXPECT_EQ(r.read(settings), "值1") << r.name;
        ASSERT_TRUE(
            catalog::WriteProfileKey(settings.FilePath(), r.section, r.key, std::string(300, '9'))
                .ok());
        EXPECT_EQ(r.read(settings), std::string(r.limit, '9')) << r.name;
    }
}

TEST(UserSettings, NumberReaders) {
    TempDir dir;
    UserSettings settings(dir.dir());
    EXPECT_EQ(settings.Old(), 0u);
    EXPECT_EQ(settings.LastTime(), 0u);
    dir.Write("usercfg.dat", "[ravikver]\nold=1\nlasttime=123abc\n");
    EXPECT_EQ(settings.Old(), 1u);
    EXPECT_EQ(settings.LastTime(), 123u);
    EXPECT_EQ(settings.LastTimeText(), "123abc");
}

TEST(UserSettings, FlagsAreWrittenAsOneAndZero) {
    struct Case {
        std::function<catalog::Outcome(UserSettings&, bool)> set;
        std::function<std::string(const UserSettings&)> read;
    };
    const std::vector<Case> cases = {
        {&UserSettings::SetAutostart, &UserSettings::Autostart},
        {&UserSettings::SetAutoMin, &UserSettings::AutoMinForRun},
        {&UserSettings::SetExit, &UserSettings::ExitForClose},
        {&UserSettings::SetAutoUpdate, &UserSettings::AutoUpdate},
    };
    for (const auto& c : cases) {
        TempDir dir;
        UserSettings settings(dir.dir());
        ASSERT_TRUE(c.set(settings, true).ok());
        EXPECT_EQ(c.read(settings), "1");
        ASSERT_TRUE(c.set(settings, false).ok());
        EXPECT_EQ(c.read(settings), "0");
    }
}

TEST(UserSettings, FirstStartIsEmptyOrZero) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {nullptr, true}, {"", true}, {"0", true}, {"1", false}, {"2", false}, {"yes", false},
    };
    for (const auto& [value, first] : cases) {
        TempDir dir;
        UserSettings settings(dir.dir());
        if (value != nullptr) {
            dir.Write("usercfg.dat", std::string("[system]\nfirststart=") + value + "\n");
        }
        EXPECT_EQ(settings.IsFirstStart(), first) << (value ? value : "missing");
    }
    TempDir dir;
    UserSettings settings(dir.dir());
    ASSERT_TRUE(settings.MarkStarted().ok());
    EXPECT_FALSE(settings.IsFirstStart());
    EXPECT_EQ(settings.FirstStart(), "1");
}

TEST(UserSettings, UpdaterBookkeepingKeepsOtherKeys) {
    TempDir dir;
    dir.Write("usercfg.dat",
              "[system]\r\nautostart=1\r\n[ravikver]\r\nversion=2.0\r\nsertime=20240101\r\n");
    UserSettings settings(dir.dir());
    ASSERT_TRUE(settings.RememberOldVersion("1.9", "20231201").ok());
    EXPECT_EQ(dir.Read("usercfg.dat"),
              "[system]\r\nautostart=1\r\n[ravikver]\r\nversion=2.0\r\nsertime=20240101\r\n"
              "oldversion=1.9\r\noldsertime=20231201\r\nold=1\r\n");
    EXPECT_EQ(settings.Old(), 1u);
    ASSERT_TRUE(settings.ClearOld().ok());
    EXPECT_EQ(settings.Old(), 0u);
    ASSERT_TRUE(settings.SetPxTime("77").ok());
    ASSERT_TRUE(settings.SetLastTime("900").ok());
    EXPECT_EQ(settings.PxTime(), "77");
    EXPECT_EQ(settings.LastTime(), 900u);
    EXPECT_EQ(settings.Autostart(), "1");
}

// The worker thread and the user interface thread write their own keys at the same time;
// neither loses the other's.
TEST(UserSettings, WritersOnTwoThreadsKeepEachOthersKeys) {
    TempDir dir;
    UserSettings settings(dir.dir());
    auto writer = [&](const std::string& prefix) {
        for (int i = 0; i < 40; ++i) {
            EXPECT_TRUE(catalog::WriteProfileKey(settings.FilePath(), "ravikver",
                                                 prefix + std::to_string(i), "x")
                            .ok());
        }
    };
    std::thread worker(writer, "worker");
    writer("ui");
    worker.join();
    catalog::IniFile file = catalog::IniFile::Load(settings.FilePath());
    for (int i = 0; i < 40; ++i) {
        EXPECT_TRUE(file.HasKey("ravikver", "worker" + std::to_string(i))) << i;
        EXPECT_TRUE(file.HasKey("ravikver", "ui" + std::to_string(i))) << i;
    }
}

TEST(UserSettings, SaveFailureIsReported) {
    TempDir dir;
    dir.Write("usercfg.dat", "[system]\nexit=1\n");
    std::filesystem::permissions(dir / "usercfg.dat", std::filesystem::perms::owner_read);
    UserSettings settings(dir.dir());
    EXPECT_EQ(settings.SetExit(false).code, catalog::Outcome::WriteFailed);
    EXPECT_EQ(settings.ExitForClose(), "1");
}

}  // namespace

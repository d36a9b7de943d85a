#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "TempDir.h"
#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"

using catalog::UserSettings;

namespace {

struct TextCase {
    const char* name;
    std::function<std::string(const UserSettings&)> read;
    const char* section;
    const char* key;
    const char* fallback;
    std::size_t limit;
};

// Every text key of usercfg.dat with its default and the length a read keeps: 119 units for
// what goes to the data server, 259 for what only the upgrade report shows.
const std::vector<TextCase>& TextKeys() {
    static const std::vector<TextCase> keys = {
        {"Version", &UserSettings::Version, "ravikver", "version", "", 119},
        {"SerTime", &UserSettings::SerTime, "ravikver", "sertime", "", 119},
        {"OldVersion", &UserSettings::OldVersion, "ravikver", "oldversion", "", 259},
        {"OldSerTime", &UserSettings::OldSerTime, "ravikver", "oldsertime", "", 259},
        {"LastTimeText", &UserSettings::LastTimeText, "ravikver", "lasttime", "", 119},
        {"PxTime", &UserSettings::PxTime, "ravikver", "pxtime", "0", 119},
    };
    return keys;
}

TEST(UserSettings, EveryTextKeyHasItsDefaultAndLimit) {
    for (const auto& r : TextKeys()) {
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

struct FlagKey {
    const char* key;
    std::function<bool(const UserSettings&)> read;
    std::function<catalog::Outcome(UserSettings&, bool)> set;
};

const std::vector<FlagKey>& FlagKeys() {
    static const std::vector<FlagKey> keys = {
        {"autostart", &UserSettings::Autostart, &UserSettings::SetAutostart},
        {"automin", &UserSettings::AutoMin, &UserSettings::SetAutoMin},
        {"exit", &UserSettings::CloseToTray, &UserSettings::SetCloseToTray},
        {"autoupdate", &UserSettings::AutoUpdate, &UserSettings::SetAutoUpdate},
    };
    return keys;
}

// A flag is on exactly when the stored value is "1", after the profile store drops the
// spaces and the one pair of quotes around it. Neither a number read ("01", "1abc") nor a
// read cut short ("12", "1" and a character outside the BMP) may turn a flag on.
TEST(UserSettings, AFlagIsOnExactlyWhenItsValueIsOne) {
    const struct {
        const char* stored;  // nullptr: no key
        bool on;
    } values[] = {
        {nullptr, false}, {"1", true},     {"0", false},    {"", false},     {"yes", false},
        {" 1 ", true},    {"\"1\"", true}, {"01", false},   {"1abc", false}, {"12", false},
        {"1😀", false},    {"2", false},    {"true", false}, {"１", false},
    };
    for (const FlagKey& flag : FlagKeys()) {
        for (const auto& v : values) {
            TempDir dir;
            if (v.stored != nullptr) {
                dir.Write("usercfg.dat",
                          std::string("[system]\n") + flag.key + "=" + v.stored + "\n");
            }
            EXPECT_EQ(flag.read(UserSettings(dir.dir())), v.on)
                << flag.key << "=" << (v.stored ? v.stored : "(missing)");
        }
    }
}

TEST(UserSettings, FlagsAreWrittenAsOneAndZero) {
    for (const FlagKey& flag : FlagKeys()) {
        TempDir dir;
        UserSettings settings(dir.dir());
        for (bool on : {true, false}) {
            ASSERT_TRUE(flag.set(settings, on).ok());
            EXPECT_EQ(catalog::ReadProfileString(settings.FilePath(), "system", flag.key, "", 9),
                      on ? "1" : "0")
                << flag.key;
            EXPECT_EQ(flag.read(settings), on) << flag.key;
        }
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

TEST(UserSettings, FirstStartIsEmptyOrZero) {
    const std::vector<std::pair<const char*, bool>> cases = {
        {nullptr, true}, {"", true},   {"0", true},    {" 0 ", true},
        {"1", false},    {"2", false}, {"yes", false}, {"00", false},
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
    EXPECT_EQ(catalog::ReadProfileString(settings.FilePath(), "system", "firststart", "", 9), "1");
}

TEST(UserSettings, RaiseLastTimeOnlyEverRaises) {
    const struct {
        const char* stored;  // nullptr: no key
        uint32_t stamp;
        const char* expected;  // nullptr: still missing
    } cases[] = {
        {nullptr, 5, "5"}, {"3", 5, "5"},         {"5", 5, "5"},   {"9", 5, "9"},
        {"abc", 5, "5"},   {nullptr, 0, nullptr}, {"7x", 5, "7x"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string before =
            c.stored != nullptr ? std::string("[ravikver]\nlasttime=") + c.stored + "\n" : "";
        if (c.stored != nullptr) {
            dir.Write("usercfg.dat", before);
        }
        UserSettings settings(dir.dir());
        ASSERT_TRUE(settings.RaiseLastTime(c.stamp).ok());
        EXPECT_EQ(catalog::ReadProfileString(settings.FilePath(), "ravikver", "lasttime",
                                             "<missing>", 99),
                  c.expected != nullptr ? c.expected : "<missing>")
            << (c.stored ? c.stored : "missing") << " raised to " << c.stamp;
        if (c.stored != nullptr && std::string(c.stored) == c.expected) {
            EXPECT_EQ(dir.Read("usercfg.dat"), before) << "nothing to raise writes nothing";
        }
    }
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
    ASSERT_TRUE(settings.RaiseLastTime(900).ok());
    EXPECT_EQ(settings.PxTime(), "77");
    EXPECT_EQ(settings.LastTime(), 900u);
    EXPECT_TRUE(settings.Autostart());
    EXPECT_EQ(settings.Version(), "2.0");
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

// Two threads, each with a UserSettings of its own, raise the stamp in turns. A raise that
// read the file before the other thread's save must not write its older stamp over the
// newer one.
TEST(UserSettings, RaisesOnTwoThreadsNeverLowerTheStamp) {
    TempDir dir;
    constexpr uint32_t kLast = 60;
    auto raiser = [&](uint32_t first) {
        UserSettings settings(dir.dir());
        for (uint32_t stamp = first; stamp <= kLast; stamp += 2) {
            EXPECT_TRUE(settings.RaiseLastTime(stamp).ok());
            EXPECT_GE(settings.LastTime(), stamp);
        }
    };
    std::thread worker(raiser, 1);
    raiser(2);
    worker.join();
    EXPECT_EQ(UserSettings(dir.dir()).LastTime(), kLast);
}

TEST(UserSettings, SaveFailureIsReported) {
    TempDir dir;
    dir.Write("usercfg.dat", "[system]\nexit=1\n");
    std::filesystem::permissions(dir / "usercfg.dat", std::filesystem::perms::owner_read);
    UserSettings settings(dir.dir());
    EXPECT_EQ(settings.SetCloseToTray(false).code, catalog::Outcome::WriteFailed);
    EXPECT_TRUE(settings.CloseToTray());
}

}  // namespace

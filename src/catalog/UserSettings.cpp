#include "catalog/UserSettings.h"

#include <mutex>

#include "catalog/IniFile.h"

namespace catalog {
namespace {

constexpr std::string_view kSystem = "system";
constexpr std::string_view kVersionSection = "ravikver";

// A key read as text: its section and name, what a missing key reads as, and how many UTF-16
// units a read keeps.
struct TextKey {
    std::string_view section;
    std::string_view name;
    std::string_view fallback;
    std::size_t limit;
};

// A key read as a number: the leading decimal digits of its value.
struct NumberKey {
    std::string_view section;
    std::string_view name;
    uint32_t fallback;
};

// Flags are on exactly when the value is "1". Every limit of 3 units or more reads a flag the
// same way (only a narrower one could cut "12", or "1" and a character outside the BMP, down
// to "1"), so the widths of 19, 39 and 119 units that the callers used to read with agree.
constexpr std::size_t kFlagLimit = 19;
constexpr TextKey kAutostart{kSystem, "autostart", "", kFlagLimit};
constexpr TextKey kAutoMin{kSystem, "automin", "", kFlagLimit};
constexpr TextKey kExit{kSystem, "exit", "", kFlagLimit};
constexpr TextKey kAutoUpdate{kSystem, "autoupdate", "", kFlagLimit};
// Compared with "" and "0" only, which every limit of 3 units or more does the same way.
constexpr TextKey kFirstStart{kSystem, "firststart", "", kFlagLimit};

// Texts sent to the data server keep the 119 units the version check, the catalog query and
// the ranking query have always sent. The about box and the upgrade report show the same
// version text; the report compares it with oldversion, which is saved from this same read,
// so one width keeps that comparison exact.
constexpr std::size_t kSentLimit = 119;
constexpr TextKey kVersion{kVersionSection, "version", "", kSentLimit};
constexpr TextKey kSerTime{kVersionSection, "sertime", "", kSentLimit};
constexpr TextKey kLastTimeText{kVersionSection, "lasttime", "", kSentLimit};
constexpr TextKey kPxTime{kVersionSection, "pxtime", "0", kSentLimit};
// Shown in the upgrade report only; wider than anything the launcher saves there.
constexpr std::size_t kShownLimit = 259;
constexpr TextKey kOldVersion{kVersionSection, "oldversion", "", kShownLimit};
constexpr TextKey kOldSerTime{kVersionSection, "oldsertime", "", kShownLimit};
// Releases the launcher remembers, compared with the sertime of the server's offer. Launchers
// that do not know these keys leave them alone, as every write keeps the keys it does not set.
constexpr TextKey kSkippedRelease{kVersionSection, "skipsertime", "", kShownLimit};
constexpr TextKey kToldRelease{kVersionSection, "toldsertime", "", kShownLimit};

constexpr NumberKey kOld{kVersionSection, "old", 0};
constexpr NumberKey kLastTime{kVersionSection, "lasttime", 0};

constexpr std::string_view Flag(bool on) {
    return on ? "1" : "0";
}

// One lock for every UserSettings object: the launcher's objects all name the same file, and
// a write (load, change, save) must not interleave with another one, or the later save would
// put back a key the earlier one had just changed.
std::mutex& WriteMutex() {
    static std::mutex mutex;
    return mutex;
}

std::string Read(const std::string& path, const TextKey& key) {
    return ReadProfileString(path, key.section, key.name, key.fallback, key.limit);
}

uint32_t Read(const std::string& path, const NumberKey& key) {
    return ReadProfileInt(path, key.section, key.name, key.fallback);
}

bool IsOn(const std::string& path, const TextKey& key) {
    return Read(path, key) == "1";
}

// Loads the file, lets `change` set keys and saves once, under the write lock.
template <typename Change>
Outcome Update(const std::string& path, Change change) {
    std::lock_guard lock(WriteMutex());
    IniFile file = IniFile::Load(path);
    change(file);
    return file.Save();
}

Outcome Write(const std::string& path, const TextKey& key, std::string_view value) {
    return Update(path, [&](IniFile& file) { file.Set(key.section, key.name, value); });
}

}  // namespace

UserSettings::UserSettings(std::string programDir)
    : programDir_(std::move(programDir)), path_(programDir_ + "usercfg.dat") {}

bool UserSettings::Autostart() const {
    return IsOn(path_, kAutostart);
}
Outcome UserSettings::SetAutostart(bool on) {
    return Write(path_, kAutostart, Flag(on));
}

bool UserSettings::AutoMin() const {
    return IsOn(path_, kAutoMin);
}
Outcome UserSettings::SetAutoMin(bool on) {
    return Write(path_, kAutoMin, Flag(on));
}

bool UserSettings::CloseToTray() const {
    return IsOn(path_, kExit);
}
Outcome UserSettings::SetCloseToTray(bool on) {
    return Write(path_, kExit, Flag(on));
}

bool UserSettings::AutoUpdate() const {
    return IsOn(path_, kAutoUpdate);
}
Outcome UserSettings::SetAutoUpdate(bool on) {
    return Write(path_, kAutoUpdate, Flag(on));
}

bool UserSettings::IsFirstStart() const {
    const std::string value = Read(path_, kFirstStart);
    return value.empty() || value == "0";
}
Outcome UserSettings::MarkStarted() {
    return Write(path_, kFirstStart, Flag(true));
}

std::string UserSettings::Version() const {
    return Read(path_, kVersion);
}
std::string UserSettings::SerTime() const {
    return Read(path_, kSerTime);
}

std::string UserSettings::OldVersion() const {
    return Read(path_, kOldVersion);
}
std::string UserSettings::OldSerTime() const {
    return Read(path_, kOldSerTime);
}
uint32_t UserSettings::Old() const {
    return Read(path_, kOld);
}

Outcome UserSettings::RememberOldVersion(std::string_view version, std::string_view sertime) {
    return Update(path_, [&](IniFile& file) {
        file.Set(kOldVersion.section, kOldVersion.name, version);
        file.Set(kOldSerTime.section, kOldSerTime.name, sertime);
        file.Set(kOld.section, kOld.name, "1");
    });
}
Outcome UserSettings::ClearOld() {
    return Update(path_, [](IniFile& file) { file.Set(kOld.section, kOld.name, "0"); });
}

std::string UserSettings::SkippedRelease() const {
    return Read(path_, kSkippedRelease);
}
Outcome UserSettings::SetSkippedRelease(std::string_view sertime) {
    return Write(path_, kSkippedRelease, sertime);
}

std::string UserSettings::ToldRelease() const {
    return Read(path_, kToldRelease);
}
Outcome UserSettings::SetToldRelease(std::string_view sertime) {
    return Write(path_, kToldRelease, sertime);
}

std::string UserSettings::LastTimeText() const {
    return Read(path_, kLastTimeText);
}
uint32_t UserSettings::LastTime() const {
    return Read(path_, kLastTime);
}
Outcome UserSettings::RaiseLastTime(uint32_t stamp) {
    return Update(path_, [&](IniFile& file) {
        if (file.GetInt(kLastTime.section, kLastTime.name, kLastTime.fallback) < stamp) {
            file.Set(kLastTime.section, kLastTime.name, std::to_string(stamp));
        }
    });
}

std::string UserSettings::PxTime() const {
    return Read(path_, kPxTime);
}
Outcome UserSettings::SetPxTime(std::string_view stamp) {
    return Write(path_, kPxTime, stamp);
}

}  // namespace catalog

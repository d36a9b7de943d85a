#include "catalog/UserSettings.h"

#include "catalog/IniFile.h"

namespace catalog {
namespace {
constexpr std::string_view kSystem = "system";
constexpr std::string_view kVersion = "ravikver";
}  // namespace

UserSettings::UserSettings(std::string programDir) : path_(std::move(programDir) + "usercfg.dat") {}

std::string UserSettings::Read(std::string_view section, std::string_view key,
                               std::string_view fallback, std::size_t limit) const {
    return ReadProfileString(path_, section, key, fallback, limit);
}

Outcome UserSettings::Write(std::string_view section, std::string_view key,
                            std::string_view value) {
    return WriteProfileKey(path_, section, key, value);
}

std::string UserSettings::Autostart() const {
    return Read(kSystem, "autostart", "", 19);
}
Outcome UserSettings::SetAutostart(bool on) {
    return Write(kSystem, "autostart", on ? "1" : "0");
}

std::string UserSettings::AutoMinForRun() const {
    return Read(kSystem, "automin", "", 39);
}
std::string UserSettings::AutoMinForDialog() const {
    return Read(kSystem, "automin", "", 19);
}
Outcome UserSettings::SetAutoMin(bool on) {
    return Write(kSystem, "automin", on ? "1" : "0");
}

std::string UserSettings::ExitForClose() const {
    return Read(kSystem, "exit", "", 119);
}
std::string UserSettings::ExitForDialog() const {
    return Read(kSystem, "exit", "", 19);
}
Outcome UserSettings::SetExit(bool toTray) {
    return Write(kSystem, "exit", toTray ? "1" : "0");
}

std::string UserSettings::AutoUpdate() const {
    return Read(kSystem, "autoupdate", "", 19);
}
Outcome UserSettings::SetAutoUpdate(bool on) {
    return Write(kSystem, "autoupdate", on ? "1" : "0");
}

std::string UserSettings::FirstStart() const {
    return Read(kSystem, "firststart", "", 119);
}
bool UserSettings::IsFirstStart() const {
    std::string value = FirstStart();
    return value.empty() || value == "0";
}
Outcome UserSettings::MarkStarted() {
    return Write(kSystem, "firststart", "1");
}

std::string UserSettings::VersionForAbout() const {
    return Read(kVersion, "version", "", 119);
}
std::string UserSettings::VersionForCheck() const {
    return Read(kVersion, "version", "", 119);
}
std::string UserSettings::VersionForReport() const {
    return Read(kVersion, "version", "", 259);
}
std::string UserSettings::SerTimeForCheck() const {
    return Read(kVersion, "sertime", "", 119);
}
std::string UserSettings::SerTimeForStartup() const {
    return Read(kVersion, "sertime", "", 259);
}

std::string UserSettings::OldVersion() const {
    return Read(kVersion, "oldversion", "", 259);
}
std::string UserSettings::OldSerTime() const {
    return Read(kVersion, "oldsertime", "", 259);
}
uint32_t UserSettings::Old() const {
    return ReadProfileInt(path_, kVersion, "old", 0);
}

Outcome UserSettings::RememberOldVersion(std::string_view version, std::string_view sertime) {
    IniFile file = IniFile::Load(path_);
    file.Set(kVersion, "oldversion", version);
    file.Set(kVersion, "oldsertime", sertime);
    file.Set(kVersion, "old", "1");
    return file.Save();
}
Outcome UserSettings::ClearOld() {
    return Write(kVersion, "old", "0");
}

std::string UserSettings::LastTimeText() const {
    return Read(kVersion, "lasttime", "", 119);
}
uint32_t UserSettings::LastTime() const {
    return ReadProfileInt(path_, kVersion, "lasttime", 0);
}
Outcome UserSettings::SetLastTime(std::string_view stamp) {
    return Write(kVersion, "lasttime", stamp);
}

std::string UserSettings::PxTime() const {
    return Read(kVersion, "pxtime", "0", 119);
}
Outcome UserSettings::SetPxTime(std::string_view stamp) {
    return Write(kVersion, "pxtime", stamp);
}

}  // namespace catalog

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/Outcome.h"

namespace catalog {

// usercfg.dat: the user's choices (section "system") and the version and catalog-stamp
// bookkeeping (section "ravikver"). Every key is read and written on its own, so the worker
// thread and the UI thread may use it at the same time. Each reader keeps at most the
// number of UTF-16 units its caller has always used, which differs between callers of the
// same key; the function names say which caller. A missing file or key gives the default.
// Flags are "1" and "0"; anything other than "1" counts as off.
class UserSettings {
  public:
    explicit UserSettings(std::string programDir);

    const std::string& FilePath() const { return path_; }

    // [system] autostart: start-up and the settings dialog (19 units, default "").
    std::string Autostart() const;
    Outcome SetAutostart(bool on);

    // [system] automin: running an item (39 units) and the settings dialog (19 units).
    std::string AutoMinForRun() const;
    std::string AutoMinForDialog() const;
    Outcome SetAutoMin(bool on);

    // [system] exit: the close button (119 units) and the settings dialog (19 units).
    std::string ExitForClose() const;
    std::string ExitForDialog() const;
    Outcome SetExit(bool toTray);

    // [system] autoupdate: the version check and the settings dialog (19 units).
    std::string AutoUpdate() const;
    Outcome SetAutoUpdate(bool on);

    // [system] firststart (119 units). A first start is an empty value or "0";
    // MarkStarted writes "1".
    std::string FirstStart() const;
    bool IsFirstStart() const;
    Outcome MarkStarted();

    // [ravikver] version: the about box and the version check (119 units), the start-up
    // upgrade report (259 units). Written by the updater, never by the launcher.
    std::string VersionForAbout() const;
    std::string VersionForCheck() const;
    std::string VersionForReport() const;
    // [ravikver] sertime: the version check (119 units) and the start-up (259 units).
    std::string SerTimeForCheck() const;
    std::string SerTimeForStartup() const;

    // [ravikver] oldversion, oldsertime (259 units) and old (a number, default 0).
    std::string OldVersion() const;
    std::string OldSerTime() const;
    uint32_t Old() const;
    // Written just before the updater starts: oldversion, oldsertime and old = "1".
    Outcome RememberOldVersion(std::string_view version, std::string_view sertime);
    // The start-up consumes the marker: old = "0".
    Outcome ClearOld();

    // [ravikver] lasttime: as text for the catalog query (119 units, default ""), as a number
    // for raising it (default 0). Catalog::RaiseLastTime raises it.
    std::string LastTimeText() const;
    uint32_t LastTime() const;
    Outcome SetLastTime(std::string_view stamp);

    // [ravikver] pxtime: the stamp of the game order last applied (119 units, default "0").
    std::string PxTime() const;
    Outcome SetPxTime(std::string_view stamp);

  private:
    std::string Read(std::string_view section, std::string_view key, std::string_view fallback,
                     std::size_t limit) const;
    Outcome Write(std::string_view section, std::string_view key, std::string_view value);

    std::string path_;
};

}  // namespace catalog

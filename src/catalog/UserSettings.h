#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "catalog/Outcome.h"

namespace catalog {

// usercfg.dat: the user's choices (section "system") and the version and catalog-stamp
// bookkeeping (section "ravikver"), one accessor per key with the key's type. A missing file
// or key gives the key's default. Flags are written as "1" and "0" and are on exactly when
// the stored value is "1".
//
// Every write of usercfg.dat in the launcher goes through this class, the catalog's change
// stamps included. A write is a load, a change and an atomic save, serialised with every
// other UserSettings write in the process, so the worker thread and the UI thread may write
// at the same time, through the same object or through objects of their own.
class UserSettings {
  public:
    // `programDir` ends with a separator.
    explicit UserSettings(std::string programDir);

    const std::string& ProgramDir() const { return programDir_; }
    const std::string& FilePath() const { return path_; }

    // [system] autostart: start at logon. ApplyAutostart (AutostartSetting.h) also makes the
    // system's entry match; this only records the choice.
    bool Autostart() const;
    Outcome SetAutostart(bool on);

    // [system] automin: minimise the main window when an item is run.
    bool AutoMin() const;
    Outcome SetAutoMin(bool on);

    // [system] exit: the close button hides the window to the tray (on) or quits (off).
    bool CloseToTray() const;
    Outcome SetCloseToTray(bool on);

    // [system] autoupdate: take a newer version without asking.
    bool AutoUpdate() const;
    Outcome SetAutoUpdate(bool on);

    // [system] firststart: a first start is an empty value or "0" (any other value, not only
    // "1", means the start report went out before). MarkStarted writes "1".
    bool IsFirstStart() const;
    Outcome MarkStarted();

    // [ravikver] version and sertime: what the updater last installed, as sent with the
    // version check. Written by the updater, never by the launcher.
    std::string Version() const;
    std::string SerTime() const;

    // [ravikver] oldversion and oldsertime, and the marker old (a number): the version before
    // an update, for the upgrade report at the next start.
    std::string OldVersion() const;
    std::string OldSerTime() const;
    uint32_t Old() const;
    // Written just before the updater starts: oldversion, oldsertime and old = "1", in one save.
    Outcome RememberOldVersion(std::string_view version, std::string_view sertime);
    // The start-up consumes the marker: old = "0".
    Outcome ClearOld();

    // [ravikver] skipsertime: the release (the server's sertime) the user chose to skip; the
    // start-up's check does not offer it again. Empty when none was skipped.
    std::string SkippedRelease() const;
    Outcome SetSkippedRelease(std::string_view sertime);

    // [ravikver] toldsertime: the release an installed launcher last told the user about
    // (its package manager updates it), so the start-up tells each release once.
    std::string ToldRelease() const;
    Outcome SetToldRelease(std::string_view sertime);

    // [ravikver] lasttime: the newest catalog change applied. The catalog query sends the
    // text as it stands; raising it compares the number.
    std::string LastTimeText() const;
    uint32_t LastTime() const;
    // Writes `stamp` when it is above the stored number; otherwise writes nothing.
    Outcome RaiseLastTime(uint32_t stamp);

    // [ravikver] pxtime: the stamp of the game order last applied, sent with the ranking query.
    std::string PxTime() const;
    Outcome SetPxTime(std::string_view stamp);

  private:
    std::string programDir_;
    std::string path_;
};

}  // namespace catalog

#pragma once

#include "catalog/Outcome.h"
#include "catalog/UserSettings.h"

namespace catalog {

// Puts the start-at-logon choice into effect: adds the system's entry that starts the launcher
// on the settings' program directory (LauncherStartFor) or removes it, then records the choice in
// usercfg.dat [system] autostart. The entry and the file are separate stores; a failure of
// one does not keep the other from being written. The outcome names what failed.
// The start-up applies the stored choice with it, the settings dialog the chosen one.
Outcome ApplyAutostart(UserSettings& settings, bool on);

}  // namespace catalog

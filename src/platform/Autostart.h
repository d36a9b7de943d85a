#pragma once

#include <string>
#include <vector>

namespace platform {

// The per-user "start at logon" entry named "Ravik". On Windows it is the value "Ravik"
// under HKCU\Software\Microsoft\Windows\CurrentVersion\Run: the program path in double quotes
// (so a path with spaces starts the program, not a prefix of it), then the arguments quoted
// as the C runtime splits them. Elsewhere it is the XDG autostart file
// $XDG_CONFIG_HOME/autostart/Ravik.desktop (default ~/.config), whose Exec line quotes every
// argument by the Desktop Entry rules, whose TryExec names the program (so the entry does
// nothing once the program is gone, for example after its package was removed) and whose Icon
// is the one the packages install.

// Makes the entry start `programFile` with `args`. Returns false when it could not be
// written.
bool SetAutostart(const std::string& programFile, const std::vector<std::string>& args = {});

// Deletes the entry; true also when there was none.
bool RemoveAutostart();

// What the entry starts, the program first and then its arguments, without the quoting;
// empty when there is no entry.
std::vector<std::string> AutostartCommand();

// The program the entry starts, or empty when there is no entry.
std::string AutostartProgram();

}  // namespace platform

#pragma once

#include <string>

namespace platform {

// The per-user "start at logon" entry named "Ravik". On Windows it is the value "Ravik"
// under HKCU\Software\Microsoft\Windows\CurrentVersion\Run, holding the program path in
// double quotes (so a path with spaces starts the program, not a prefix of it); elsewhere
// the XDG autostart file $XDG_CONFIG_HOME/autostart/Ravik.desktop (default ~/.config).

// Makes the entry start `programFile`. Returns false when it could not be written.
bool SetAutostart(const std::string& programFile);

// Deletes the entry; true also when there was none.
bool RemoveAutostart();

// The program the entry starts (without the quotes), or empty when there is no entry.
std::string AutostartProgram();

}  // namespace platform

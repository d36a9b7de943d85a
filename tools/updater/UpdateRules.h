#pragma once

#include <string>
#include <string_view>

namespace updater {

// The launcher program the updater waits for and starts again.
#ifdef _WIN32
inline constexpr const char* kLauncherName = "Ravik_desk.exe";
#else
inline constexpr const char* kLauncherName = "Ravik_desk";
#endif

// The updater's own files in the program directory.
inline constexpr const char* kRequestFile = "update.ini";
inline constexpr const char* kLogFile = "update.log";
inline constexpr const char* kJournalFile = "update.journal";
// Holds the downloaded archive (client.zip), the extracted new files (new/) and the backups
// of the files they replace (old/) while an update runs.
inline constexpr const char* kWorkFolder = "UpdateWork";

// An update may write only the launcher's own program files. Why it may not write
// `relative` (a path below the program directory, folders separated by '/'), or an empty
// text when it may:
// - the user's data: the catalog files, usercfg.dat, launcher.ini, and everything in the
//   folders of icons, catalogs, downloaded and installed tools;
// - the updater's own files and work folder;
// - names that are not plain relative paths, or that Windows would take for another name
//   (empty, "." or ".." parts, drive or stream colons, trailing dots or spaces, short
//   "~1" names, device names, control characters).
// Names are compared without regard to ASCII letter case, as the Windows file system does.
std::string RefusedReason(std::string_view relative);

// Compares two dotted version texts part by part as numbers ("1.10" is above "1.9"; a
// missing part counts as 0, a part's text after its digits is compared as text): below 0
// when `a` is older than `b`, 0 when they are the same version, above 0 when newer.
int CompareVersions(std::string_view a, std::string_view b);

// `text` with ASCII letters in lower case: the form in which names are compared.
std::string FoldCase(std::string_view text);

}  // namespace updater

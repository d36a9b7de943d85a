#pragma once

#include <string>
#include <vector>

namespace catalog {

// launcher.ini in the program directory: what the product leaves to the installation, with
// built-in defaults for a missing file or key.
//   [server] host, port, removalmarker
//   [web]    product, forum, download   (base URLs of the web servers, no trailing '/')
//   [trust]  require (0 or 1), key (publisher public keys in hex, separated by spaces)
struct LauncherConfig {
    std::string serverHost = "127.0.0.1";
    int serverPort = 3130;
    std::string removalMarker = "8053";
    std::string productUrl = "http://127.0.0.1:8080";
    std::string forumUrl = "http://127.0.0.1:8080/bbs";
    std::string downloadUrl = "http://127.0.0.1:8080";
    // Whether archives must carry a valid publisher signature: -1 when launcher.ini does not
    // say (the built-in keys decide), else 0 or 1.
    int trustRequire = -1;
    // Publisher keys added to the built-in ones; the launcher takes them only in a portable
    // copy (install::TrustPolicy).
    std::string trustKeys;

    static LauncherConfig Load(const std::string& programDir);
};

// The program directory as a full path with a trailing separator: `dataDirOption`
// (--data-dir) when given, else the environment variable RAVIK_HOME when set and not empty,
// else DefaultProgramDirectory(the directory of the running executable).
std::string ProgramDirectory(const std::string& dataDirOption);

// Whether the launcher in `executableDir` is an installed one rather than a portable copy:
// its directory is not writable by the user, or the installation's data directory
// `executableDir`/../share/ravik is there (cmake --install, the .deb and the .tar.gz put the
// programs in bin/ and their data in share/ravik). Its files belong to whoever installed
// them, so it keeps its data elsewhere and never lets the updater replace its files.
bool IsInstalledLauncher(const std::string& executableDir);

// Where the data of a launcher started from `executableDir` lives when no directory is named
// for it. A portable copy keeps it beside the executable. An installed launcher
// (IsInstalledLauncher) keeps it per user in the folder Ravik of the user's data directory
// (platform::UserDataDirectory: $XDG_DATA_HOME, default ~/.local/share; %LOCALAPPDATA% on
// Windows): that folder is made when missing and receives every file of the data directory
// it does not have yet (the default icons, the busy animation); files already there are
// never replaced. Without a home directory the executable's directory is used.
std::string DefaultProgramDirectory(const std::string& executableDir);

// The launcher program the autostart entry names: the one in the program directory (a
// portable copy), else the running executable (an installed launcher keeps its program
// directory per user, where no program file lies).
std::string LauncherProgramFile(const std::string& programDir);

// How the launcher is started on `programDir` (by the autostart entry): LauncherProgramFile,
// with the arguments "--data-dir" and `programDir` when that program would not take
// `programDir` by itself (it was named with --data-dir or RAVIK_HOME), so that a start at
// logon uses the same program directory as the launcher that made the entry.
struct LauncherStart {
    std::string program;
    std::vector<std::string> args;
};
LauncherStart LauncherStartFor(const std::string& programDir);

}  // namespace catalog

#pragma once

#include <string>

namespace platform {

// The native path separator: data paths are the program directory plus a relative path
// written with it ("GameIcon" + kSeparator + id + ".png").
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
#else
inline constexpr char kSeparator = '/';
#endif

// What the system appends to a program's name to make its file name ("Rv_Update" +
// kExecutableSuffix).
#ifdef _WIN32
inline constexpr char kExecutableSuffix[] = ".exe";
#else
inline constexpr char kExecutableSuffix[] = "";
#endif

// The folder part of a path: everything up to and including its last separator (either
// slash on Windows); empty for a bare file name.
std::string FolderOf(const std::string& path);

// Full path of the running executable; empty when it cannot be found.
std::string ExecutablePath();

// Directory of the running executable, with a trailing separator.
std::string ExecutableDirectory();

// `dir` with exactly one trailing separator (an empty text stays empty).
std::string WithTrailingSeparator(std::string dir);

// True when `path` names an existing directory that the current user may create files in.
bool IsWritableDirectory(const std::string& path);

// The user's own directory for application data, without a trailing separator: on Windows
// %LOCALAPPDATA%; elsewhere $XDG_DATA_HOME when it is an absolute path, else
// ~/.local/share. Empty when the system names none.
std::string UserDataDirectory();

// The value of the environment variable `name` as UTF-8; empty when it is not set.
std::string EnvironmentVariable(const std::string& name);

}  // namespace platform

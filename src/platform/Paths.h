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

// Full path of the running executable; empty when it cannot be found.
std::string ExecutablePath();

// Directory of the running executable, with a trailing separator.
std::string ExecutableDirectory();

// `dir` with exactly one trailing separator (an empty text stays empty).
std::string WithTrailingSeparator(std::string dir);

// True when `path` names an existing directory that the current user may create files in.
bool IsWritableDirectory(const std::string& path);

}  // namespace platform

#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

// Starts `program` (a path, or a bare name searched on PATH) with `args` in `workingDir`
// (empty: the current directory), without waiting for it. With `hidden` the program gets
// no console window on Windows and no terminal streams elsewhere. Returns false when the
// program could not be started (missing, not executable, bad working directory).
bool StartProgram(const std::string& program, const std::vector<std::string>& args = {},
                  const std::string& workingDir = {}, bool hidden = false);

// Opens `url` in the user's default browser (ShellExecute on Windows, xdg-open elsewhere).
// Returns false when no browser could be asked.
bool OpenUrl(const std::string& url);

// The system's own way to the browser, which OpenUrl takes unless SetUrlOpener replaced it.
bool SystemOpenUrl(const std::string& url);

// Replaces how OpenUrl reaches the browser, for tests and headless runs; an empty function
// restores the default.
void SetUrlOpener(std::function<bool(const std::string&)> opener);

}  // namespace platform

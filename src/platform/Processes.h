#pragma once

#include <string>
#include <vector>

namespace platform {

// Processes are matched by the full path of their executable file, so a program directory
// only ever sees its own copy of a program: another copy of the same program elsewhere, and
// every process of another user, are left alone. Letter case is ignored on Windows, as its
// file system ignores it, and matters elsewhere. `executablePath` may be relative or hold
// "." and ".." parts; it is made full first.

// Ids of the current user's running processes started from the file `executablePath`.
std::vector<long> FindProcesses(const std::string& executablePath);

// Ends each process that FindProcesses would find (SIGTERM elsewhere, so it can clean up;
// Windows has no such request). Returns how many were asked to end.
int TerminateProcesses(const std::string& executablePath);

// The id of the running process.
long CurrentProcessId();

}  // namespace platform

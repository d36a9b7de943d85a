#pragma once

#include <string>
#include <vector>

namespace platform {

// Ids of the running processes whose executable file name is exactly `name`
// (case-sensitive, without directory).
std::vector<long> FindProcesses(const std::string& name);

// Ends every process named `name` (as FindProcesses matches it). Returns how many were
// asked to end.
int TerminateProcesses(const std::string& name);

// The id of the running process.
long CurrentProcessId();

}  // namespace platform

#pragma once

#include <functional>
#include <string>
#include <vector>

// What every ravikctl command gets: the global options and its own arguments.
struct CommandContext {
    std::string programDir;   // with trailing separator
    std::string serverHost;   // empty: from launcher.ini
    int serverPort = 0;       // 0: from launcher.ini
    std::vector<std::string> args;  // the arguments after the command name
};

using CommandFn = std::function<int(const CommandContext&)>;

// Each command's source file registers itself with a static RegisterCommand object, so
// main.cpp stays the same when a command is added.
struct RegisterCommand {
    RegisterCommand(const std::string& name, const std::string& usage, CommandFn fn);
};

// Prints "ravikctl: <reason>" to stderr and returns the exit code 1.
int Fail(const std::string& reason);

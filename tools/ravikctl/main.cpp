// ravikctl: the command-line front end on ravik_core, for scripts, tests and people
// without a display.
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>

#include "Command.h"
#include "catalog/LauncherConfig.h"
#include "platform/Sockets.h"

namespace {
struct Entry {
    std::string usage;
    CommandFn fn;
};

std::map<std::string, Entry>& Commands() {
    static std::map<std::string, Entry> commands;
    return commands;
}

int Usage() {
    std::cerr << "usage: ravikctl [--data-dir DIR] [--server HOST:PORT] COMMAND [ARGS]\n"
                 "commands:\n";
    for (const auto& [name, entry] : Commands()) {
        std::cerr << "  " << entry.usage << "\n";
    }
    return 2;
}
}  // namespace

RegisterCommand::RegisterCommand(const std::string& name, const std::string& usage,
                                 CommandFn fn) {
    Commands()[name] = Entry{usage, std::move(fn)};
}

int Fail(const std::string& reason) {
    std::cerr << "ravikctl: " << reason << "\n";
    return 1;
}

int main(int argc, char** argv) {
    CommandContext context;
    std::string dataDir;
    int i = 1;
    for (; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--data-dir" && i + 1 < argc) {
            dataDir = argv[++i];
        } else if (arg == "--server" && i + 1 < argc) {
            std::string server = argv[++i];
            auto colon = server.rfind(':');
            if (colon == std::string::npos || colon == 0) {
                return Fail("--server wants HOST:PORT, got \"" + server + "\"");
            }
            context.serverHost = server.substr(0, colon);
            context.serverPort = std::atoi(server.c_str() + colon + 1);
            if (context.serverPort <= 0 || context.serverPort > 65535) {
                return Fail("bad port in --server \"" + server + "\"");
            }
        } else if (arg == "-h" || arg == "--help") {
            Usage();
            return 0;
        } else {
            break;
        }
    }
    if (i >= argc) {
        return Usage();
    }
    auto found = Commands().find(argv[i]);
    if (found == Commands().end()) {
        std::cerr << "ravikctl: unknown command \"" << argv[i] << "\"\n";
        return Usage();
    }
    // The launcher's own rule (--data-dir, RAVIK_HOME, beside the executable or, installed,
    // per user), so both always work on the same files.
    context.programDir = catalog::ProgramDirectory(dataDir);
    context.args.assign(argv + i + 1, argv + argc);
    platform::InitSocketLibrary();
    return found->second.fn(context);
}

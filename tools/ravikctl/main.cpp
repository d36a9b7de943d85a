// ravikctl: the command-line front end on ravik_core, for scripts, tests and people
// without a display.
#include <cstdlib>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "Command.h"
#include "catalog/LauncherConfig.h"
#include "platform/CommandLine.h"
#include "platform/ProductVersion.h"
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

void PrintUsage(std::ostream& out) {
    out << "usage: ravikctl [--data-dir DIR] [--server HOST:PORT] COMMAND [ARGS]\n"
           "commands:\n";
    for (const auto& [name, entry] : Commands()) {
        out << "  " << entry.usage << "\n";
    }
}

int Usage() {
    PrintUsage(std::cerr);
    return 2;
}
}  // namespace

RegisterCommand::RegisterCommand(const std::string& name, const std::string& usage, CommandFn fn) {
    Commands()[name] = Entry{usage, std::move(fn)};
}

int Fail(const std::string& reason) {
    std::cerr << "ravikctl: " << reason << "\n";
    return 1;
}

int main(int argc, char** argv) {
    const std::vector<std::string> args = platform::CommandLineArguments(argc, argv);
    const std::size_t count = args.size();
    CommandContext context;
    std::string dataDir;
    std::size_t i = 0;
    for (; i < count; ++i) {
        const std::string& arg = args[i];
        if (arg == "--data-dir" && i + 1 < count) {
            dataDir = args[++i];
        } else if (arg == "--server" && i + 1 < count) {
            const std::string& server = args[++i];
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
            PrintUsage(std::cout);
            return 0;
        } else if (arg == "--version") {
            std::cout << "ravikctl " << platform::kProductVersion << "\n";
            return 0;
        } else {
            break;
        }
    }
    if (i >= count) {
        return Usage();
    }
    auto found = Commands().find(args[i]);
    if (found == Commands().end()) {
        std::cerr << "ravikctl: unknown command \"" << args[i] << "\"\n";
        return Usage();
    }
    // The launcher's own rule (--data-dir, RAVIK_HOME, beside the executable or, installed,
    // per user), so both always work on the same files.
    context.programDir = catalog::ProgramDirectory(dataDir);
    context.args.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    platform::InitSocketLibrary();
    return found->second.fn(context);
}

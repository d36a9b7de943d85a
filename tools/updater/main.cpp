// Rv_Update: the launcher's updater. The launcher's version check writes update.ini, starts
// this program hidden with the program directory as its one argument and exits; the updater
// replaces the launcher's files with the version update.ini names and starts the launcher
// again. It shows nothing: every step goes to update.log in the program directory.
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "Updater.h"
#include "catalog/LauncherConfig.h"
#include "platform/CommandLine.h"
#include "platform/ProductVersion.h"

namespace {

std::atomic<bool> g_stop{false};

// A termination request (the launcher's start-up ends a running updater, the system shuts
// down) stops waiting and downloading; moving files is never interrupted half-way.
extern "C" void OnSignal(int) {
    g_stop = true;
}

void PrintUsage(std::ostream& out) {
    out << "usage: Rv_Update [--wait SECONDS] PROGRAM_DIR\n"
           "Installs the launcher version that PROGRAM_DIR/update.ini names and starts\n"
           "Ravik_desk again. --wait: how long Ravik_desk may take to exit (default 30).\n";
}

int Usage() {
    PrintUsage(std::cerr);
    return 2;
}

int Run(const std::vector<std::string>& args) {
    updater::UpdateOptions options;
    std::string programDir;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            PrintUsage(std::cout);
            return 0;
        }
        if (args[i] == "--version") {
            std::cout << "Rv_Update " << platform::kProductVersion << "\n";
            return 0;
        }
        if (args[i] == "--wait" && i + 1 < args.size()) {
            char* end = nullptr;
            long seconds = std::strtol(args[++i].c_str(), &end, 10);
            if (end == args[i].c_str() || *end != '\0' || seconds < 0 || seconds > 86400) {
                return Usage();
            }
            options.launcherWait = std::chrono::seconds(seconds);
        } else if (programDir.empty() && !args[i].empty() && !args[i].starts_with("--")) {
            programDir = args[i];
        } else {
            return Usage();
        }
    }
    if (programDir.empty()) {
        return Usage();
    }
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    options.stop = &g_stop;
    options.echoLog = true;
    updater::Updater updater(catalog::ProgramDirectory(programDir), std::move(options));
    switch (updater.Run().status) {
        case updater::UpdateOutcome::Updated:
        case updater::UpdateOutcome::AlreadyCurrent:
            return 0;
        case updater::UpdateOutcome::Stopped:
            return 3;
        case updater::UpdateOutcome::Failed:
            break;
    }
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    return Run(platform::CommandLineArguments(argc, argv));
}

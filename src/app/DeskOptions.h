#pragma once

#include <string>

#include "catalog/LauncherConfig.h"
#include "server/ClientConfig.h"
#include "server/VersionCheck.h"

namespace app {

class JobRunner;

// What the main window is started with: where its files are, the web servers it opens
// pages on and the data server its workers talk to.
struct DeskOptions {
    std::string programDir;  // with a trailing separator
    catalog::LauncherConfig launcher;
    server::ClientConfig server;
    // How a newer version reaches the launcher: the running program's own route
    // (server::RunningLauncherRoute) unless a test sets another.
    server::UpdateRoute updateRoute = server::UpdateRoute::Updater;
    // The start-up worker and its 20-second restarts. Off only where no data server may be
    // asked (tests of the window alone).
    bool startServerWorker = true;
    // The runner of the window's jobs. The application owns it, so that reports outlive the
    // window until the program ends; without one the window keeps a runner of its own.
    JobRunner* jobs = nullptr;

    // The options of the program directory `programDir`: launcher.ini read there, the data
    // server replaced by `serverHost`:`serverPort` when a host is given, and the running
    // program's update route.
    static DeskOptions For(const std::string& programDir, const std::string& serverHost = {},
                           int serverPort = 0);
};

}  // namespace app

#include "app/DeskOptions.h"

namespace app {

DeskOptions DeskOptions::For(const std::string& programDir, const std::string& serverHost,
                             int serverPort) {
    DeskOptions options;
    options.programDir = programDir;
    options.launcher = catalog::LauncherConfig::Load(programDir);
    options.server = server::ClientConfigFrom(options.launcher);
    options.updateRoute = server::RunningLauncherRoute();
    if (!serverHost.empty()) {
        options.server.host = serverHost;
        options.server.port = serverPort;
    }
    return options;
}

}  // namespace app

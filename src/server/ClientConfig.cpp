#include "server/ClientConfig.h"

namespace server {

ClientConfig ClientConfigFrom(const catalog::LauncherConfig& launcher) {
    ClientConfig config;
    config.host = launcher.serverHost;
    config.port = launcher.serverPort;
    config.removalMarker = launcher.removalMarker;
    return config;
}

ClientConfig LoadClientConfig(const std::string& programDir, const std::string& host, int port) {
    ClientConfig config = ClientConfigFrom(catalog::LauncherConfig::Load(programDir));
    if (!host.empty()) {
        config.host = host;
    }
    if (port > 0) {
        config.port = port;
    }
    return config;
}

}  // namespace server

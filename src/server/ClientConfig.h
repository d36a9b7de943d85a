#pragma once

#include <chrono>
#include <string>

#include "catalog/LauncherConfig.h"

namespace server {

// Where the data server is and how long the client waits for it.
struct ClientConfig {
    std::string host = "127.0.0.1";
    int port = 3130;
    std::chrono::milliseconds connectTimeout{5000};
    // For a whole reply, not for each piece of it.
    std::chrono::milliseconds receiveTimeout{10000};
    // Removal records carry out their removals only when their first field contains this.
    std::string removalMarker = "8053";
};

// The client configuration of an installation: the data server and the removal marker from
// launcher.ini, the time-outs at their defaults.
ClientConfig ClientConfigFrom(const catalog::LauncherConfig& launcher);

// The client configuration of the program in `programDir` (its launcher.ini), with the data
// server replaced by `host`:`port` when given (--server); an empty host or port 0 keeps
// launcher.ini's.
ClientConfig LoadClientConfig(const std::string& programDir, const std::string& host = {},
                              int port = 0);

}  // namespace server

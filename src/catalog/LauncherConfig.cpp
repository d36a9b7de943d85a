#include "catalog/LauncherConfig.h"

#include <cstdlib>

#include "catalog/IniFile.h"
#include "platform/Paths.h"

namespace catalog {
namespace {

constexpr std::size_t kValueLimit = 1024;

std::string WithoutTrailingSlash(std::string url) {
    while (!url.empty() && url.back() == '/') {
        url.pop_back();
    }
    return url;
}

}  // namespace

LauncherConfig LauncherConfig::Load(const std::string& programDir) {
    LauncherConfig config;
    IniFile file = IniFile::Load(programDir + "launcher.ini");
    config.serverHost = file.GetString("server", "host", config.serverHost, kValueLimit);
    uint32_t port = file.GetInt("server", "port", static_cast<uint32_t>(config.serverPort));
    if (port >= 1 && port <= 65535) {
        config.serverPort = static_cast<int>(port);
    }
    config.removalMarker =
        file.GetString("server", "removalmarker", config.removalMarker, kValueLimit);
    config.productUrl =
        WithoutTrailingSlash(file.GetString("web", "product", config.productUrl, kValueLimit));
    config.forumUrl =
        WithoutTrailingSlash(file.GetString("web", "forum", config.forumUrl, kValueLimit));
    config.downloadUrl =
        WithoutTrailingSlash(file.GetString("web", "download", config.downloadUrl, kValueLimit));
    return config;
}

std::string ProgramDirectory(const std::string& dataDirOption) {
    if (!dataDirOption.empty()) {
        return platform::WithTrailingSeparator(dataDirOption);
    }
    const char* home = std::getenv("RAVIK_HOME");
    if (home != nullptr && *home != '\0') {
        return platform::WithTrailingSeparator(home);
    }
    return platform::ExecutableDirectory();
}

}  // namespace catalog

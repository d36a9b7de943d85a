#include "catalog/LauncherConfig.h"

#include <cstdlib>
#include <filesystem>

#include "catalog/FileSystem.h"
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
    std::string dir = dataDirOption;
    if (dir.empty()) {
        const char* home = std::getenv("RAVIK_HOME");
        dir = home != nullptr ? home : "";
    }
    if (dir.empty()) {
        return platform::ExecutableDirectory();
    }
    // Icons and tool directories are handed to other programs as full paths, so a relative
    // directory is made absolute once, here.
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(NativePath(dir), ec);
    return platform::WithTrailingSeparator(ec ? dir : Utf8Path(absolute));
}

}  // namespace catalog

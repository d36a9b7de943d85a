#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Paths.h"

namespace platform {

std::string ExecutablePath() {
    std::error_code ec;
    auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : path.string();
}

bool IsWritableDirectory(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_directory(path, ec) && access(path.c_str(), W_OK | X_OK) == 0;
}

std::string UserDataDirectory() {
    // A relative XDG_DATA_HOME is ignored, as the XDG base directory rules ask.
    const std::string xdg = EnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.empty() && xdg.front() == '/') {
        return xdg;
    }
    const std::string home = EnvironmentVariable("HOME");
    if (home.empty()) {
        return {};
    }
    return (std::filesystem::path(home) / ".local" / "share").string();
}

std::string EnvironmentVariable(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value != nullptr ? value : "";
}

}  // namespace platform

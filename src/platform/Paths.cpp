#include "platform/Paths.h"

namespace platform {

std::string WithTrailingSeparator(std::string dir) {
    if (dir.empty()) {
        return dir;
    }
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) {
        dir.pop_back();
    }
    if (dir.back() != '/' && dir.back() != '\\') {
        dir.push_back(kSeparator);
    }
    return dir;
}

std::string ExecutableDirectory() {
    std::string exe = ExecutablePath();
    auto cut = exe.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : exe.substr(0, cut + 1);
}

std::string FolderOf(const std::string& path) {
    // Windows takes either slash; elsewhere a backslash is part of a name.
    const auto cut = kSeparator == '\\' ? path.find_last_of("\\/") : path.find_last_of('/');
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

}  // namespace platform

#include "install/StaleFiles.h"

#include <filesystem>

#include "catalog/FileSystem.h"
#include "install/HttpDownload.h"
#include "install/ToolInstall.h"

namespace install {

namespace {

namespace fs = std::filesystem;

// The latest change to the file, or to anything in the folder: an extraction writes into the
// staging folder's subfolders, which does not change the folder's own time.
fs::file_time_type LastChange(const fs::path& path) {
    std::error_code ec;
    fs::file_time_type latest = fs::last_write_time(path, ec);
    if (!fs::is_directory(fs::symlink_status(path, ec))) {
        return latest;
    }
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        latest = std::max(latest, fs::last_write_time(it->path(), ec));
    }
    return latest;
}

bool IsOurTemporary(const fs::directory_entry& entry) {
    const std::u8string name8 = entry.path().filename().u8string();
    const std::string name(name8.begin(), name8.end());
    std::error_code ec;
    if (entry.is_symlink(ec)) {
        return false;
    }
    if (entry.is_directory(ec)) {
        return IsStagingName(name);
    }
    return entry.is_regular_file(ec) &&
           (catalog::IsSaveTemporaryName(name) || HttpDownload::IsTemporaryName(name));
}

}  // namespace

int RemoveStaleFiles(const std::string& programDir, std::chrono::minutes age) {
    const fs::path root = catalog::NativePath(programDir);
    const auto now = fs::file_time_type::clock::now();
    int removed = 0;
    for (const char* folder :
         {"", "GameTool", "GameIcon", "ToolIcon", "ToolDownload", "LocalGameTool"}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(root / folder, ec)) {
            if (!IsOurTemporary(entry) || now - LastChange(entry.path()) < age) {
                continue;
            }
            std::error_code ignored;
            if (entry.is_directory(ignored) ? RemoveFolder(entry.path())
                                            : fs::remove(entry.path(), ignored)) {
                ++removed;
            }
        }
    }
    return removed;
}

}  // namespace install

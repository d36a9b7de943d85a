#include "catalog/Catalog.h"

#include <cstdio>

#include "platform/Paths.h"

namespace catalog {
namespace {

// Program directory + folder + separator + number + suffix, built in one go: the loaders
// make one such path per record.
std::string NumberedPath(const std::string& dir, std::string_view folder, uint32_t number,
                         std::string_view suffix) {
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, "%u", number);
    std::string path;
    path.reserve(dir.size() + folder.size() + 1 + static_cast<std::size_t>(n) + suffix.size());
    path.append(dir).append(folder);
    path.push_back(platform::kSeparator);
    path.append(digits, static_cast<std::size_t>(n));
    for (char c : suffix) {
        path.push_back(c == '/' ? platform::kSeparator : c);
    }
    return path;
}

std::string DefaultIconName(DefaultIcon icon) {
    return std::string("ToolIcon/default") + static_cast<char>(icon) + ".png";
}

}  // namespace

Catalog::Catalog(std::string programDir)
    : dir_(std::move(programDir)),
      plainIcon_(Path(DefaultIconName(DefaultIcon::Plain))),
      programIcon_(Path(DefaultIconName(DefaultIcon::Program))),
      downloadIcon_(Path(DefaultIconName(DefaultIcon::Download))) {}

void Catalog::KeepFirstFailure(Outcome& kept, Outcome next) {
    if (kept.ok() && !next.ok()) {
        kept = std::move(next);
    }
}

std::string Catalog::Path(std::string_view relative) const {
    std::string path;
    path.reserve(dir_.size() + relative.size());
    path.append(dir_);
    for (char c : relative) {
        path.push_back(c == '/' ? platform::kSeparator : c);
    }
    return path;
}

std::string Catalog::GameConfigPath() const {
    return Path("gamecfg.dat");
}
std::string Catalog::GeneralToolsPath() const {
    return Path("Normalcfg.dat");
}
std::string Catalog::UsedPath() const {
    return Path("Usedcfg.dat");
}
std::string Catalog::GameToolsPath(uint32_t gameId) const {
    return NumberedPath(dir_, "GameTool", gameId, ".dat");
}
std::string Catalog::GameIconPath(uint32_t gameId) const {
    return NumberedPath(dir_, "GameIcon", gameId, ".png");
}
std::string Catalog::ToolIconPath(uint32_t toolId) const {
    return NumberedPath(dir_, "ToolIcon", toolId, ".png");
}
const std::string& Catalog::DefaultIconPath(DefaultIcon icon) const {
    switch (icon) {
        case DefaultIcon::Plain:
            return plainIcon_;
        case DefaultIcon::Program:
            return programIcon_;
        case DefaultIcon::Download:
            break;
    }
    return downloadIcon_;
}
std::string Catalog::ToolDirectory(uint32_t toolId) const {
    return NumberedPath(dir_, "LocalGameTool", toolId, "/");
}

}  // namespace catalog

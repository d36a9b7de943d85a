#include "grid/TileMenu.h"

#include "catalog/ToolRecord.h"

namespace grid {

std::vector<TileCommand> TileMenuEntries(bool isTool, uint32_t id, uint32_t type) {
    using enum TileCommand;
    if (!isTool) {
        return {};
    }
    if (!catalog::IsFixedEntry(id)) {
        // Web entries only run; programs can also be described, opened, reported, deleted.
        if (type == catalog::kTypeSmallWebBox || type == catalog::kTypeBrowser ||
            type == catalog::kTypeLargeWebBox) {
            return {Run};
        }
        return {Run, Describe, OpenDirectory, Feedback, Delete};
    }
    switch (id % 100) {
        case catalog::kStartEntry:
            return {Run, Describe, OpenDirectory, SetDirectory, Delete};
        case catalog::kDownloadEntry:
        case catalog::kSiteEntry:
        case catalog::kInfoEntry:
            return {Run};
        default:
            return {};
    }
}

QString TileCommandText(TileCommand command) {
    switch (command) {
        case TileCommand::Run:
            return QStringLiteral("运行");
        case TileCommand::OpenDirectory:
            return QStringLiteral("打开目录");
        case TileCommand::Delete:
            return QStringLiteral("删除");
        case TileCommand::Describe:
            return QStringLiteral("应用说明");
        case TileCommand::SetDirectory:
            return QStringLiteral("设置目录");
        case TileCommand::Feedback:
            return QStringLiteral("应用反馈");
    }
    return {};
}

}  // namespace grid

#include "grid/TileMenu.h"

#include "catalog/ToolRecord.h"

namespace grid {

std::vector<TileCommand> TileMenuEntries(bool isTool, uint32_t id, uint32_t type) {
    using enum TileCommand;
    if (!isTool) {
        return {};
    }
    switch (catalog::FixedEntryOf(id)) {
        case catalog::FixedEntryKind::None:
            // Web entries only run; programs can also be described, opened, reported, deleted.
            if (catalog::RoleOf(id, type) != catalog::ItemRole::Program) {
                return {Run};
            }
            return {Run, Describe, OpenDirectory, Feedback, Delete};
        case catalog::FixedEntryKind::Start:
            return {Run, Describe, OpenDirectory, SetDirectory, Delete};
        case catalog::FixedEntryKind::Download:
        case catalog::FixedEntryKind::Site:
        case catalog::FixedEntryKind::Info:
            return {Run};
        case catalog::FixedEntryKind::Other:
            break;
    }
    return {};
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

#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace grid {

// Commands of a tile's context menu.
enum class TileCommand {
    Run,            // "运行"
    OpenDirectory,  // "打开目录"
    Delete,         // "删除"
    Describe,       // "应用说明"
    SetDirectory,   // "设置目录"
    Feedback,       // "应用反馈"
};

// The entries of a tile's context menu, in menu order. A game tile has none; a tool tile's
// entries depend on its id (ordinary tool or one of a game's fixed entries) and its TYPE.
std::vector<TileCommand> TileMenuEntries(bool isTool, uint32_t id, uint32_t type);

// The menu text of a command.
QString TileCommandText(TileCommand command);

}  // namespace grid

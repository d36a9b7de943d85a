#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace catalog {

// Kinds of entry (the TYPE key). Anything else is not a valid entry and is dropped on load.
inline constexpr uint32_t kTypeProgram = 187;      // zip archive, started from its local directory
inline constexpr uint32_t kTypeSmallWebBox = 188;  // page in the small web box
inline constexpr uint32_t kTypeBrowser = 189;      // address opened in the default browser
inline constexpr uint32_t kTypeLargeWebBox = 190;  // page in the large web box
inline constexpr uint32_t kTypeOwnIcon = 191;      // program with an icon of its own (PNGURL)
inline constexpr uint32_t kTypeOwnIcon2 = 192;     // same as 191

inline constexpr bool IsValidToolType(uint32_t type) {
    return type >= kTypeProgram && type <= kTypeOwnIcon2;
}
// 191 and 192 come first in a game's lists and fetch their own icon.
inline constexpr bool HasOwnIcon(uint32_t type) {
    return type == kTypeOwnIcon || type == kTypeOwnIcon2;
}

// The game id of a general tool, which belongs to no game.
inline constexpr uint32_t kGeneralToolGame = 0;

// Every game g has four fixed entries whose ids are derived from g. Ordinary tool ids stay
// at or below kFixedEntryBound, so a larger id is a fixed entry and its last two decimal
// digits say which one. An ordinary tool whose id happens to end in 11 or 22 is still an
// ordinary tool.
inline constexpr uint32_t kFixedEntryBound = 100000;
inline constexpr std::size_t kFixedEntryCount = 4;
inline constexpr uint32_t kFixedEntryDigits = 100;  // the two digits appended to the game id
inline constexpr uint32_t kStartEntry = 11;         // "启动游戏"
inline constexpr uint32_t kDownloadEntry = 22;      // "下载游戏"
inline constexpr uint32_t kSiteEntry = 33;          // "官方网站"
inline constexpr uint32_t kInfoEntry = 44;          // "资料专区"

inline constexpr uint32_t FixedEntryId(uint32_t gameId, uint32_t which) {
    return gameId * kFixedEntryDigits + which;
}
inline constexpr bool IsFixedEntry(uint32_t toolId) {
    return toolId > kFixedEntryBound;
}
// The game whose fixed entry `toolId` is.
inline constexpr uint32_t GameOfFixedEntry(uint32_t toolId) {
    return toolId / kFixedEntryDigits;
}

// Which fixed entry an id is: None for an ordinary tool, Other for an id above the bound
// whose last digits name no entry (the catalog never builds one).
enum class FixedEntryKind { None, Start, Download, Site, Info, Other };

inline constexpr FixedEntryKind FixedEntryOf(uint32_t toolId) {
    if (!IsFixedEntry(toolId)) {
        return FixedEntryKind::None;
    }
    switch (toolId % kFixedEntryDigits) {
        case kStartEntry:
            return FixedEntryKind::Start;
        case kDownloadEntry:
            return FixedEntryKind::Download;
        case kSiteEntry:
            return FixedEntryKind::Site;
        case kInfoEntry:
            return FixedEntryKind::Info;
        default:
            return FixedEntryKind::Other;
    }
}
inline constexpr bool IsStartEntry(uint32_t toolId) {
    return FixedEntryOf(toolId) == FixedEntryKind::Start;
}

// What running an item does. Web kinds are told by their TYPE; a game's start entry starts
// the game, its other fixed entries open their page in the browser; everything else is a
// program (started when installed, else downloaded).
enum class ItemRole { SmallWebPage, LargeWebPage, BrowserPage, StartGame, Program };

inline constexpr ItemRole RoleOf(uint32_t toolId, uint32_t type) {
    switch (type) {
        case kTypeSmallWebBox:
            return ItemRole::SmallWebPage;
        case kTypeLargeWebBox:
            return ItemRole::LargeWebPage;
        case kTypeBrowser:
            return ItemRole::BrowserPage;
        default:
            break;
    }
    switch (FixedEntryOf(toolId)) {
        case FixedEntryKind::Start:
            return ItemRole::StartGame;
        case FixedEntryKind::Download:
        case FixedEntryKind::Site:
        case FixedEntryKind::Info:
            return ItemRole::BrowserPage;
        default:
            return ItemRole::Program;
    }
}

// One tool: an entry that starts a program or opens a web address. How each member is stored
// in the catalog files and printed by ravikctl is listed once, in ToolFields.h.
struct ToolRecord {
    uint32_t id = 0;
    std::string title;
    std::string info;
    std::string icon;  // full path of the tile's icon file
    std::string pngUrl;
    uint32_t gameId = 0;  // owning game; kGeneralToolGame for a general tool
    uint32_t type = 0;
    std::string url;
    std::string exeName;
    std::string version;
    int32_t scale = 0;
    std::string dir;  // local directory: program directory + "LocalGameTool/<id>/"
    int installed = 0;
    std::string gameDir;
    uint32_t time = 0;

    bool operator==(const ToolRecord&) const = default;
};

using ToolList = std::vector<ToolRecord>;

// A record found in a tool list with its 1-based position; position 0 and no record when
// the id is absent.
template <typename Tool>
struct FoundTool {
    Tool* record = nullptr;
    std::size_t position = 0;
    explicit operator bool() const { return record != nullptr; }
};

// The first record with that tool id, in list order.
FoundTool<ToolRecord> FindTool(ToolList& list, uint32_t toolId);
FoundTool<const ToolRecord> FindTool(const ToolList& list, uint32_t toolId);

}  // namespace catalog

// The loaders: each list is rebuilt from its catalog file.
#include <algorithm>
#include <iterator>

#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"
#include "catalog/GameFields.h"
#include "catalog/RecordReader.h"
#include "catalog/ToolFields.h"

namespace catalog {
namespace {

// Room reserved for the items a file claims, within reason: "SIZE" may be damaged.
constexpr std::size_t kReserveLimit = 4096;

std::size_t Expected(uint32_t items) {
    return std::min<std::size_t>(items, kReserveLimit);
}

ToolRecord FixedEntry(const GameRecord& game, uint32_t which, const char* caption, uint32_t type,
                      const std::string& url, std::string icon) {
    ToolRecord entry;
    entry.id = FixedEntryId(game.id, which);
    entry.title = caption;
    entry.info = caption;
    entry.gameId = game.id;
    entry.type = type;
    entry.url = url;
    entry.gameDir = game.dir;
    entry.icon = std::move(icon);
    return entry;
}

}  // namespace

ToolRecord Catalog::ReadTool(const RecordReader<ToolRecord>& reader, uint32_t item) const {
    ToolRecord tool;
    reader.Read(item, tool);
    if (!IsValidToolType(tool.type)) {
        return tool;
    }
    tool.dir = ToolDirectory(tool.id);
    if (tool.installed != 0) {
        tool.icon = ToolIconPath(tool.id);
    } else {
        tool.icon =
            DefaultIconPath(HasOwnIcon(tool.type) ? DefaultIcon::Program : DefaultIcon::Plain);
    }
    return tool;
}

std::size_t Catalog::LoadGames() {
    // The lists are about to be replaced from the files: a batch's changes go in first.
    FlushAllPending();
    games_ = GameList();
    waitingGames_ = GameList();
    IniFile scratch;
    const IniFile& file = Read(GameConfigPath(), scratch);
    const RecordReader<GameRecord> reader(file, kGamesFile);
    const uint32_t n = reader.Count();
    games_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        GameRecord game;
        reader.Read(i, game);
        game.icon = GameIconPath(game.id);
        const bool listed = FileExists(game.icon);
        if (!listed && game.id == 0) {
            continue;
        }
        if (!listed) {
            waitingGames_.push_back(std::move(game));
            continue;
        }
        LoadGameTools(game.id, game, file);
        games_.push_back(std::move(game));
    }
    return games_.size();
}

std::size_t Catalog::LoadGameTools(uint32_t gameId, GameRecord& game) {
    FlushAllPending();
    IniFile scratch;
    return LoadGameTools(gameId, game, Read(GameConfigPath(), scratch));
}

std::size_t Catalog::LoadGameTools(uint32_t gameId, GameRecord& game, const IniFile& gameConfig) {
    IniFile scratch;
    const IniFile& file = Read(GameToolsPath(gameId), scratch);
    const RecordReader<ToolRecord> reader(file, kGameToolsFile);
    const uint32_t n = reader.Count();
    auto tools = std::make_shared<ToolList>();
    ToolList others;  // 187 to 190 follow 191 and 192, each group in file order
    tools->reserve(Expected(n));
    others.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(reader, i);
        if (!IsValidToolType(tool.type)) {
            continue;
        }
        tool.gameId = gameId;
        tool.gameDir = game.dir;
        (HasOwnIcon(tool.type) ? *tools : others).push_back(std::move(tool));
    }
    std::move(others.begin(), others.end(), std::back_inserter(*tools));

    const bool programSet =
        !gameConfig
             .GetString(gameConfig.FindSection(kProgramPathSection), gameId, "", kCatalogTextLimit)
             .empty();
    auto display = std::make_shared<ToolList>();
    display->reserve(kFixedEntryCount + tools->size());
    display->push_back(
        FixedEntry(game, kStartEntry, "启动游戏", kTypeOwnIcon, game.showWeb,
                   programSet ? GameIconPath(gameId) : DefaultIconPath(DefaultIcon::Program)));
    display->push_back(FixedEntry(game, kDownloadEntry, "下载游戏", kTypeBrowser, game.downUrl,
                                  DefaultIconPath(DefaultIcon::Download)));
    display->push_back(FixedEntry(game, kSiteEntry, "官方网站", kTypeBrowser, game.site,
                                  DefaultIconPath(DefaultIcon::Plain)));
    display->push_back(FixedEntry(game, kInfoEntry, "资料专区", kTypeBrowser, game.showWeb,
                                  DefaultIconPath(DefaultIcon::Plain)));
    display->insert(display->end(), tools->begin(), tools->end());

    game.tools = std::move(tools);
    game.display = std::move(display);
    return game.display->size();
}

std::size_t Catalog::LoadGeneralTools() {
    FlushAllPending();
    generalTools_ = ToolList();
    IniFile scratch;
    const IniFile& file = Read(GeneralToolsPath(), scratch);
    const RecordReader<ToolRecord> reader(file, kGeneralToolsFile);
    const uint32_t n = reader.Count();
    generalTools_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(reader, i);
        if (IsValidToolType(tool.type)) {
            generalTools_.push_back(std::move(tool));
        }
    }
    return generalTools_.size();
}

std::size_t Catalog::LoadUsed() {
    FlushAllPending();
    used_ = ToolList();
    IniFile scratch;
    const IniFile& file = Read(UsedPath(), scratch);
    // The used file keeps each entry's game and program path but no icon address.
    const RecordReader<ToolRecord> reader(file, kUsedFile);
    const uint32_t n = reader.Count();
    used_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(reader, i);
        if (!IsValidToolType(tool.type)) {
            continue;
        }
        if (IsStartEntry(tool.id)) {
            tool.icon = GameIconPath(tool.gameId);
            if (const GameRecord* game = FindGame(games_, tool.gameId)) {
                tool.title = game->title;
            }
        }
        used_.push_back(std::move(tool));
    }
    return used_.size();
}

void Catalog::LoadAll() {
    LoadGames();
    LoadUsed();
    LoadGeneralTools();
}

}  // namespace catalog

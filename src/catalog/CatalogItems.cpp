// The commands of a tile: an install finished, an item deleted, a game's program path set.
#include "catalog/Catalog.h"
#include "catalog/FileSystem.h"
#include "catalog/GameFields.h"
#include "catalog/RecordReader.h"
#include "catalog/RecordWriter.h"
#include "catalog/ToolFields.h"

namespace catalog {
namespace {

// The run command keeps more of a program path than the catalog readers do.
constexpr std::size_t kRunPathLimit = 399;

}  // namespace

Outcome Catalog::WriteInstalledKey(const std::string& path, const FileLayout<ToolField>& layout,
                                   uint32_t toolId, bool installed) {
    // Addressed by the tool's id in the file rather than by its place in the list: the two
    // differ when the loader dropped a damaged item, and then the place would mark another
    // tool.
    IniFile& file = Open(path);
    const RecordReader<ToolRecord> reader(file, layout);
    ToolRecord stored;
    for (uint32_t i = 1; i <= reader.Count(); ++i) {
        if (!reader.Stored(i, ToolField::Id)) {
            continue;
        }
        reader.Read(i, ToolField::Id, stored);
        if (stored.id == toolId) {
            stored.installed = installed ? 1 : 0;
            WriteField(file, layout, std::to_string(i), stored, ToolField::Installed);
            break;
        }
    }
    return Finish(path);
}

void Catalog::UpdateUsedEntry(const ToolRecord& record, ItemChange& change) {
    auto used = FindTool(used_, record.id);
    if (!used) {
        return;
    }
    *used.record = record;
    change.usedPosition = used.position;
    KeepFirstFailure(change.outcome,
                     WriteInstalledKey(UsedPath(), kUsedFile, record.id, record.installed != 0));
}

ItemChange Catalog::MarkInstalled(const ToolRecord& tool) {
    ItemChange change;
    ToolRecord* entry = nullptr;
    if (tool.gameId != kGeneralToolGame) {
        GameRecord* game = FindGame(games_, tool.gameId);
        auto found = game != nullptr && game->display ? FindTool(*game->display, tool.id)
                                                      : FoundTool<ToolRecord>{};
        if (!found) {
            change.outcome = Outcome::Missing("no entry " + std::to_string(tool.id));
            return change;
        }
        entry = found.record;
        entry->icon = ToolIconPath(tool.id);
        entry->installed = 1;
        if (auto inTools =
                game->tools ? FindTool(*game->tools, tool.id) : FoundTool<ToolRecord>{}) {
            *inTools.record = *entry;
        }
        change.outcome = WriteTools(tool.gameId);
    } else {
        auto found = FindTool(generalTools_, tool.id);
        if (!found) {
            change.outcome = Outcome::Missing("no tool " + std::to_string(tool.id));
            return change;
        }
        entry = found.record;
        entry->icon = ToolIconPath(tool.id);
        entry->installed = 1;
        change.outcome = WriteInstalledKey(GeneralToolsPath(), kGeneralToolsFile, tool.id, true);
    }
    change.record = *entry;
    UpdateUsedEntry(change.record, change);
    return change;
}

ItemChange Catalog::DeleteItem(ViewKind view, uint32_t toolId, uint32_t currentGame) {
    ItemChange change;
    if (view == ViewKind::My) {
        if (auto found = FindTool(used_, toolId)) {
            change.record = *found.record;
        }
        change.outcome = DropUsed(toolId);
        LoadUsed();
        change.usedReloaded = true;
        return change;
    }

    ToolRecord* entry = nullptr;
    if (view == ViewKind::OnlineGames) {
        GameRecord* game = FindGame(games_, currentGame);
        auto found = game != nullptr && game->display ? FindTool(*game->display, toolId)
                                                      : FoundTool<ToolRecord>{};
        if (!found) {
            change.outcome = Outcome::Missing("no entry " + std::to_string(toolId));
            return change;
        }
        entry = found.record;
        entry->icon = DefaultIconPath(DefaultIcon::Program);
        entry->installed = 0;
        if (auto inTools = game->tools ? FindTool(*game->tools, toolId) : FoundTool<ToolRecord>{}) {
            *inTools.record = *entry;
        }
        change.outcome = WriteTools(currentGame);
        if (IsStartEntry(toolId)) {
            // Uninstalling the start entry forgets the game's program path.
            KeepFirstFailure(change.outcome, SetGameDirectory(currentGame, ""));
        }
    } else {
        auto found = FindTool(generalTools_, toolId);
        if (!found) {
            change.outcome = Outcome::Missing("no tool " + std::to_string(toolId));
            return change;
        }
        entry = found.record;
        entry->icon = DefaultIconPath(DefaultIcon::Program);
        entry->installed = 0;
        change.outcome = WriteInstalledKey(GeneralToolsPath(), kGeneralToolsFile, toolId, false);
    }
    change.record = *entry;
    UpdateUsedEntry(change.record, change);
    EmptyDirectory(ToolDirectory(toolId));
    return change;
}

ItemChange Catalog::GameDirectorySet(ViewKind view, uint32_t toolId, uint32_t currentGame) {
    ItemChange change;
    GameRecord* game = view == ViewKind::OnlineGames ? FindGame(games_, currentGame) : nullptr;
    auto found = game != nullptr && game->display ? FindTool(*game->display, toolId)
                                                  : FoundTool<ToolRecord>{};
    if (!found) {
        change.outcome = Outcome::Missing("no entry " + std::to_string(toolId));
        return change;
    }
    found.record->icon = GameIconPath(currentGame);
    found.record->installed = 0;
    change.record = *found.record;
    // The program path is already in gamecfg.dat; the next load derives the same icon.
    if (auto used = FindTool(used_, toolId)) {
        *used.record = change.record;
        change.usedPosition = used.position;
    }
    return change;
}

Outcome Catalog::SetGameDirectory(uint32_t gameId, std::string_view programPath) {
    const std::string path = GameConfigPath();
    Open(path).Set(kProgramPathSection, std::to_string(gameId), programPath);
    return Finish(path);
}

// The list writers never touch the program paths, so a batch's pending writes need not go first.
std::string Catalog::GameDirectoryForRun(uint32_t gameId) const {
    IniFile scratch;
    return ReadCached(GameConfigPath(), scratch)
        .GetString(kProgramPathSection, std::to_string(gameId), "", kRunPathLimit);
}

std::string Catalog::GameDirectoryForOpen(uint32_t gameId) const {
    IniFile scratch;
    return ReadCached(GameConfigPath(), scratch)
        .GetString(kProgramPathSection, std::to_string(gameId), kMissingText, kCatalogTextLimit);
}

}  // namespace catalog

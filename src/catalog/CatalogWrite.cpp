// The list writers: each serialises a list into its catalog file. Only the keys of the
// listed items and the count are set; every other line of the file stays.
#include <string>
#include <vector>

#include "catalog/Catalog.h"
#include "catalog/GameFields.h"
#include "catalog/RecordWriter.h"
#include "catalog/ToolFields.h"

namespace catalog {
namespace {

constexpr std::string_view kCountKey = "SIZE";

template <typename Name>
void WriteCount(IniFile& file, const FileLayout<Name>& layout, std::size_t count) {
    file.Set(layout.index, kCountKey, std::to_string(count));
}

}  // namespace

Outcome Catalog::WriteGames() {
    if (batchDepth_ > 0) {
        pendingGames_ = true;
        return Outcome::Ok();
    }
    return WriteGamesNow();
}

Outcome Catalog::WriteGamesNow() {
    const std::string path = GameConfigPath();
    IniFile& file = Open(path);
    // The listed games in their order, then the games still waiting for their icon (unless
    // the list has taken them in since).
    std::vector<const GameRecord*> written;
    written.reserve(games_.size() + waitingGames_.size());
    for (const GameRecord& g : games_) {
        written.push_back(&g);
    }
    for (const GameRecord& g : waitingGames_) {
        if (FindGame(games_, g.id) == nullptr) {
            written.push_back(&g);
        }
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        WriteRecord(file, kGamesFile, std::to_string(i + 1), *written[i]);
    }
    WriteCount(file, kGamesFile, written.size());
    return Finish(path);
}

Outcome Catalog::WriteTools(uint32_t gameId) {
    if (gameId != kGeneralToolGame && FindGame(games_, gameId) == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (batchDepth_ > 0) {
        pendingTools_[gameId != kGeneralToolGame ? GameToolsPath(gameId) : GeneralToolsPath()] =
            gameId;
        return Outcome::Ok();
    }
    return WriteToolsNow(gameId);
}

Outcome Catalog::WriteToolsNow(uint32_t gameId) {
    const ToolList* list = &generalTools_;
    std::string path = GeneralToolsPath();
    const FileLayout<ToolField>* layout = &kGeneralToolsFile;
    if (gameId != kGeneralToolGame) {
        const GameRecord* game = FindGame(games_, gameId);
        if (game == nullptr) {
            return Outcome::Missing("no game " + std::to_string(gameId));
        }
        static const ToolList kNoTools;
        list = game->tools ? game->tools.get() : &kNoTools;
        path = GameToolsPath(gameId);
        layout = &kGameToolsFile;
    }
    IniFile& file = Open(path);
    for (std::size_t i = 0; i < list->size(); ++i) {
        WriteRecord(file, *layout, std::to_string(i + 1), (*list)[i]);
    }
    WriteCount(file, *layout, list->size());
    return Finish(path);
}

Outcome Catalog::WriteUsed() {
    if (batchDepth_ > 0) {
        pendingUsed_ = true;
        return Outcome::Ok();
    }
    return WriteUsedNow();
}

Outcome Catalog::WriteUsedNow() {
    const std::string path = UsedPath();
    IniFile& file = Open(path);
    for (std::size_t i = 0; i < used_.size(); ++i) {
        WriteRecord(file, kUsedFile, std::to_string(i + 1), used_[i]);
    }
    WriteCount(file, kUsedFile, used_.size());
    return Finish(path);
}

}  // namespace catalog

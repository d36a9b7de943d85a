// The changes the catalog synchronisation applies: games and tools put in or dropped, and
// the stamp that says how far the catalogs are up to date.
#include <algorithm>

#include "catalog/Catalog.h"

namespace catalog {
namespace {

// Beyond this size a new tool goes in at the last place instead of being appended.
constexpr std::size_t kToolListLimit = 1000;

}  // namespace

Outcome Catalog::RaiseLastTime(uint32_t stamp) {
    if (batchDepth_ > 0) {
        raisedLastTime_ = std::max(raisedLastTime_, stamp);
        return Outcome::Ok();
    }
    return settings_.RaiseLastTime(stamp);
}

Outcome Catalog::WriteThenRaise(Outcome written, uint32_t stamp) {
    // The catalog file first, the stamp only once the file holds the change: a change that
    // could not be saved is fetched again by the next synchronisation.
    return written.ok() ? RaiseLastTime(stamp) : written;
}

Outcome Catalog::PutGame(const GameRecord& game, std::size_t position) {
    if (GameRecord* existing = FindGame(games_, game.id)) {
        // The stored game takes the new texts but keeps its tools, in lists of its own so
        // copies of the old record held elsewhere are not changed under their holders.
        auto tools = existing->tools ? std::make_shared<ToolList>(*existing->tools) : nullptr;
        auto display = existing->display ? std::make_shared<ToolList>(*existing->display) : nullptr;
        *existing = game;
        existing->tools = std::move(tools);
        existing->display = std::move(display);
    } else if (!games_.empty() && position <= games_.size()) {
        auto at = games_.begin() + static_cast<std::ptrdiff_t>(position == 0 ? 0 : position - 1);
        games_.insert(at, game);
    } else {
        games_.push_back(game);
    }
    return WriteThenRaise(WriteGames(), game.time);
}

Outcome Catalog::DropGame(uint32_t gameId) {
    auto waiting = std::find_if(waitingGames_.begin(), waitingGames_.end(),
                                [gameId](const GameRecord& g) { return g.id == gameId; });
    if (waiting != waitingGames_.end()) {
        waitingGames_.erase(waiting);
        if (FindGame(games_, gameId) == nullptr) {
            return WriteGames();
        }
    }
    if (games_.empty()) {
        return Outcome::Ok();
    }
    auto it = std::find_if(games_.begin(), games_.end(),
                           [gameId](const GameRecord& g) { return g.id == gameId; });
    if (it == games_.end()) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    // A batch still owes this game's tool file its changes; they go in before the game does.
    FlushPending(GameToolsPath(gameId));
    games_.erase(it);
    // Written also when the last game went, so the removal lasts.
    return WriteGames();
}

ToolList* Catalog::TargetList(uint32_t gameId) {
    if (gameId == kGeneralToolGame) {
        return &generalTools_;
    }
    GameRecord* game = FindGame(games_, gameId);
    if (game == nullptr) {
        return nullptr;
    }
    if (!game->tools) {
        game->tools = std::make_shared<ToolList>();
    }
    return game->tools.get();
}

Outcome Catalog::PutTool(uint32_t gameId, const ToolRecord& tool) {
    ToolList* list = TargetList(gameId);
    if (list == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (auto found = FindTool(*list, tool.id)) {
        *found.record = tool;
    } else if (list->size() >= kToolListLimit) {
        list->insert(list->begin() + (kToolListLimit - 1), tool);
    } else {
        list->push_back(tool);
    }
    return WriteThenRaise(WriteTools(gameId), tool.time);
}

Outcome Catalog::DropTool(uint32_t gameId, uint32_t toolId) {
    ToolList* list = TargetList(gameId);
    if (list == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (list->empty()) {
        return Outcome::Ok();
    }
    auto found = FindTool(*list, toolId);
    if (!found) {
        return Outcome::Missing("no tool " + std::to_string(toolId));
    }
    list->erase(list->begin() + static_cast<std::ptrdiff_t>(found.position - 1));
    // Written also when the last tool went, so the removal lasts.
    return WriteTools(gameId);
}

}  // namespace catalog

#include "catalog/GameRecord.h"

#include <algorithm>

namespace catalog {
namespace {

template <typename List>
auto FindGameIn(List& games, uint32_t gameId) -> decltype(&games.front()) {
    if (gameId == 0) {
        return nullptr;
    }
    auto it = std::find_if(games.begin(), games.end(),
                           [gameId](const GameRecord& g) { return g.id == gameId; });
    return it == games.end() ? nullptr : &*it;
}

}  // namespace

GameRecord* FindGame(GameList& games, uint32_t gameId) {
    return FindGameIn(games, gameId);
}

const GameRecord* FindGame(const GameList& games, uint32_t gameId) {
    return FindGameIn(games, gameId);
}

GameRecord* FindGameOfTool(GameList& games, uint32_t toolId) {
    for (GameRecord& game : games) {
        if (game.tools && FindTool(*game.tools, toolId)) {
            return &game;
        }
    }
    return nullptr;
}

}  // namespace catalog

#include "catalog/CNetGame.h"

#include <algorithm>

namespace catalog {
namespace {

template <typename List>
auto FindGameIn(List& games, uint32_t gameId) -> decltype(&games.front()) {
    if (gameId == 0) {
        return nullptr;
    }
    auto it = std::find_if(games.begin(), games.end(),
                           [gameId](const CNetGame& g) { return g.id == gameId; });
    return it == games.end() ? nullptr : &*it;
}

}  // namespace

CNetGame* FindGame(GameList& games, uint32_t gameId) {
    return FindGameIn(games, gameId);
}

const CNetGame* FindGame(const GameList& games, uint32_t gameId) {
    return FindGameIn(games, gameId);
}

CNetGame* FindGameOfTool(GameList& games, uint32_t toolId) {
    for (CNetGame& game : games) {
        if (game.tools && FindTool(*game.tools, toolId)) {
            return &game;
        }
    }
    return nullptr;
}

}  // namespace catalog

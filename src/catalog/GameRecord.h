#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/ToolRecord.h"

namespace catalog {

// One online game. How each member is stored in gamecfg.dat and printed by ravikctl is
// listed once, in GameFields.h.
// Copies of a record share its tool list and display list: a change made to a game's tools
// through one copy is seen through every other copy.
struct GameRecord {
    uint32_t id = 0;
    std::string title;
    std::string info;
    std::string downUrl;
    std::string showWeb;
    std::string site;
    std::string icon;  // full path of GameIcon/<id>.png
    std::string png;
    std::string exeName;
    std::string dir;  // stored but never read back, so empty in practice
    uint32_t time = 0;
    std::shared_ptr<ToolList> tools;    // the game's tools, 191/192 first, then 187-190
    std::shared_ptr<ToolList> display;  // the four fixed entries followed by the same tools
};

using GameList = std::vector<GameRecord>;

// The first game with that id; none for id 0 or when absent. Callers change the record in
// place through the result.
GameRecord* FindGame(GameList& games, uint32_t gameId);
const GameRecord* FindGame(const GameList& games, uint32_t gameId);

// The first game whose tool list (not its display list, so never for a fixed entry) holds
// that tool id.
GameRecord* FindGameOfTool(GameList& games, uint32_t toolId);

}  // namespace catalog

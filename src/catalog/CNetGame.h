#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "catalog/CGameTool.h"

namespace catalog {

// One online game. Members are named after the sections of gamecfg.dat that store them.
// Copies of a record share its tool list and display list: a change made to a game's tools
// through one copy is seen through every other copy.
struct CNetGame {
    uint32_t id = 0;
    std::string TITLE;
    std::string INFO;
    std::string DOWNURL;
    std::string SHOWWEB;
    std::string SITE;
    std::string icon;  // full path of GameIcon/<id>.png
    std::string PNG;
    std::string EXENAME;
    std::string DIR;  // stored but never read back, so empty in practice
    uint32_t TIME = 0;
    std::shared_ptr<ToolList> tools;    // the game's tools, 191/192 first, then 187-190
    std::shared_ptr<ToolList> display;  // the four fixed entries followed by the same tools
};

using GameList = std::vector<CNetGame>;

// The first game with that id; none for id 0 or when absent. Callers change the record in
// place through the result.
CNetGame* FindGame(GameList& games, uint32_t gameId);
const CNetGame* FindGame(const GameList& games, uint32_t gameId);

// The first game whose tool list (not its display list, so never for a fixed entry) holds
// that tool id.
CNetGame* FindGameOfTool(GameList& games, uint32_t toolId);

}  // namespace catalog

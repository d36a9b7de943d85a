#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "catalog/GameRecord.h"
#include "catalog/ToolRecord.h"

namespace server {

// One change the synchronisation found, in the terms of the catalog operations. The worker
// that talks to the data server only collects them; whoever owns the catalog applies them
// (ApplySyncChanges), in order.

// Catalog::PutGame: replaces the game with the same id in place, else inserts it at
// `position` (1-based), appending when the list is shorter.
struct PutGameChange {
    catalog::GameRecord game;
    std::size_t position = 1000;
};

struct DropGameChange {
    uint32_t gameId = 0;
};

// Catalog::PutTool into the game `gameId`'s tools, or the general tools for 0.
struct PutToolChange {
    uint32_t gameId = 0;
    catalog::ToolRecord tool;
};

// Removes a tool from the general tools, or else from the game whose tool list holds it.
struct DropToolChange {
    uint32_t toolId = 0;
};

struct RaiseLastTimeChange {
    uint32_t stamp = 0;
};

// A game's place in the new order: the data server's position 1 to 99.
struct RankedGame {
    uint32_t gameId = 0;
    std::size_t position = 0;
};

// The new game order. Every listed game that is in the games list is taken out, in list
// order, and the taken games are then put back at their positions in ascending order of
// position. Entries are already filtered: ids above 0, positions 1 to 99, each position once.
struct RankGamesChange {
    std::vector<RankedGame> games;
};

// usercfg.dat [ravikver] pxtime, written after every other change has been saved.
struct SetPxTimeChange {
    std::string stamp;
};

using CatalogChange = std::variant<PutGameChange, DropGameChange, PutToolChange, DropToolChange,
                                   RaiseLastTimeChange, RankGamesChange, SetPxTimeChange>;

// An icon to fetch over HTTP into `path` (a full path below the program directory).
struct IconFetch {
    std::string url;
    std::string path;
};

// The outcome of one synchronisation: the changes to apply and what the front end shows
// meanwhile.
struct SyncChanges {
    std::vector<CatalogChange> changes;
    std::vector<IconFetch> icons;  // fetched by the worker before the changes are handed over
    int records = 0;               // catalog records taken from the reply (full and removal)
    bool ranked = false;           // a new game order came
    bool busy = false;             // the catalogs are about to change: take the window's input
    bool busyBox = false;          // full records or a new order: also show the busy box

    // Nothing to apply: the views need no rebuild.
    bool Empty() const { return records == 0 && !ranked; }
};

}  // namespace server

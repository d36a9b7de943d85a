#include "CatalogEdit.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>

#include "server/Frame.h"

namespace dataserver {

namespace {

[[noreturn]] void Refuse(const std::string& reason) {
    throw StoreError(reason);
}

bool IsNumber(const std::string& text) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

void CheckEdit(const CatalogEdit& edit) {
    std::set<uint32_t> games;
    for (const GameRecord& game : edit.games) {
        std::string name = "game " + std::to_string(game.id);
        if (game.id == 0) {
            Refuse("a game needs an id above 0");
        }
        if (!games.insert(game.id).second) {
            Refuse(name + " appears twice in one edit");
        }
        if (game.title.empty()) {
            Refuse(name + " needs a title");
        }
    }
    std::set<uint32_t> tools;
    for (const ToolRecord& tool : edit.tools) {
        std::string name = "tool " + std::to_string(tool.id);
        if (tool.id == 0) {
            Refuse("a tool needs an id above 0");
        }
        if (!tools.insert(tool.id).second) {
            Refuse(name + " appears twice in one edit");
        }
        if (tool.type < 187 || tool.type > 192) {
            Refuse(name + " has type " + std::to_string(tool.type) +
                   "; a tool's type is 187 to 192");
        }
        if (tool.title.empty()) {
            Refuse(name + " needs a title");
        }
    }
    for (const RemovalRecord& removal : edit.removals) {
        if (removal.games.empty() && removal.tools.empty()) {
            Refuse("a removal names no game and no tool");
        }
        for (const auto* ids : {&removal.games, &removal.tools}) {
            for (uint32_t id : *ids) {
                if (id == 0) {
                    Refuse("a removal names the id 0");
                }
            }
        }
    }
    if (edit.ranking) {
        if (edit.ranking->entries.size() > 50) {
            Refuse("a ranking holds at most 50 games, not " +
                   std::to_string(edit.ranking->entries.size()));
        }
        std::set<uint32_t> ranked;
        std::set<uint32_t> positions;
        for (const RankingEntry& entry : edit.ranking->entries) {
            if (entry.gameId == 0 || !ranked.insert(entry.gameId).second) {
                Refuse("the ranking names game " + std::to_string(entry.gameId) +
                       " twice or an id of 0");
            }
            if (entry.position < 1 || entry.position > 99 ||
                !positions.insert(entry.position).second) {
                Refuse("ranking position " + std::to_string(entry.position) +
                       " is outside 1 to 99 or taken twice");
            }
        }
    }
    if (edit.version) {
        if (!IsNumber(edit.version->sertime)) {
            Refuse("the version's sertime must be a number, not \"" + edit.version->sertime + "\"");
        }
        if (edit.version->version.empty() || edit.version->clientadd.empty()) {
            Refuse("a published version needs its version text and its download address");
        }
    }
}

bool NeedsStamp(const CatalogEdit& edit) {
    auto unstamped = [](const auto& records) {
        for (const auto& record : records) {
            if (record.time == 0) {
                return true;
            }
        }
        return false;
    };
    return unstamped(edit.games) || unstamped(edit.tools) || unstamped(edit.removals) ||
           (edit.ranking && edit.ranking->stamp.empty());
}

uint32_t NextStamp(const CatalogEdit& edit, uint32_t newestStamp,
                   const std::string& currentRankingStamp) {
    uint64_t above = newestStamp;
    if (edit.ranking && edit.ranking->stamp.empty()) {
        above = std::max<uint64_t>(above, server::LeadingNumber(currentRankingStamp));
    }
    if (above >= std::numeric_limits<uint32_t>::max()) {
        Refuse("no stamp is left above " + std::to_string(above));
    }
    return static_cast<uint32_t>(above + 1);
}

CatalogEdit Stamped(CatalogEdit edit, uint32_t stamp) {
    auto fill = [stamp](auto& records) {
        for (auto& record : records) {
            if (record.time == 0) {
                record.time = stamp;
            }
        }
    };
    fill(edit.games);
    fill(edit.tools);
    fill(edit.removals);
    if (edit.ranking && edit.ranking->stamp.empty()) {
        edit.ranking->stamp = std::to_string(stamp);
    }
    return edit;
}

void CheckToolGames(Store& store, const CatalogEdit& edit) {
    std::set<uint32_t> live = store.ChangesAfter(std::numeric_limits<uint32_t>::max()).liveGames;
    std::set<uint32_t> added;
    for (const GameRecord& game : edit.games) {
        added.insert(game.id);
    }
    // A removal in the edit gets the publication's stamp, the same as a game in it: a game
    // added and removed at once stays, any other game it names is gone.
    for (const RemovalRecord& removal : edit.removals) {
        for (uint32_t id : removal.games) {
            live.erase(id);
        }
    }
    live.insert(added.begin(), added.end());
    for (const ToolRecord& tool : edit.tools) {
        if (tool.gameId != 0 && live.count(tool.gameId) == 0) {
            throw StoreError("tool " + std::to_string(tool.id) + " belongs to game " +
                             std::to_string(tool.gameId) +
                             ", which does not exist or was removed; game 0 makes a general "
                             "tool");
        }
    }
}

}  // namespace dataserver

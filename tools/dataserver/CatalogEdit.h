#pragma once

#include <cstdint>
#include <string>

#include "Store.h"

namespace dataserver {

// Checks what can be checked of an edit without the database: positive ids, each id once,
// tool types 187 to 192, titles present, removals naming something, a ranking of at most 50
// distinct games on distinct positions 1 to 99, version data with a numeric sertime.
// Throws StoreError naming the first fault. Both engines call it before they change
// anything.
void CheckEdit(const CatalogEdit& edit);

// Operators' edits only (seeds may hold such tools on purpose): every tool must belong to a
// game clients hold, stored and not removed, or added by the same edit, since a client
// stores a tool in its game's list and could never store it otherwise. Throws StoreError.
void CheckToolGames(Store& store, const CatalogEdit& edit);

// True when a record of the edit has the stamp 0 or its ranking has no stamp text: the
// publication then needs a stamp of its own.
bool NeedsStamp(const CatalogEdit& edit);

// The stamp a publication gives its unstamped records: one above `newestStamp` (the newest
// stamp of any game, tool or removal). When the edit publishes a ranking without a stamp,
// also above the current ranking's stamp read as a number, so the new order's stamp differs
// from the one clients hold (they fetch the order only when its stamp text changed). Throws
// StoreError when the stamps are used up.
uint32_t NextStamp(const CatalogEdit& edit, uint32_t newestStamp,
                   const std::string& currentRankingStamp);

// The edit with every stamp 0 replaced by `stamp` and an empty ranking stamp by its text.
CatalogEdit Stamped(CatalogEdit edit, uint32_t stamp);

}  // namespace dataserver

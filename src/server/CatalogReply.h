#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "server/CatalogChange.h"

namespace server {

// What reading a catalog reply needs besides the reply.
struct CatalogReplyContext {
    std::string programDir;  // with a trailing separator; icon files go below it
    std::string removalMarker = "8053";
};

// An icon is fetched only when the part of its address after the last "/" (the whole address
// when there is none) is shorter than 20 characters.
bool IsFetchableIconAddress(std::string_view address);

// Where the icons of a game and of a tool go below the program directory.
std::string GameIconFile(const std::string& programDir, uint32_t gameId);
std::string ToolIconFile(const std::string& programDir, uint32_t toolId);

// Turns the reply to the catalog query into changes appended to `out`: game records (TYPE
// "186") and tool records become puts (with icon fetches for games whose icon name is short
// and for tools of TYPE 191/192 with a PNGURL), removal records carrying the removal marker
// become drops, and every removal record raises lasttime to its stamp. Records are split at
// U+0012 and fields at U+0011; the first record starts with three fields that are skipped.
// A full record needs 15 data fields and a removal record exactly 5; others are skipped.
// When `cut` is set the reply may end inside a record, so its last record is left for the
// next synchronisation. Returns the number of records taken.
int ApplyCatalogReply(std::string_view reply, bool cut, const CatalogReplyContext& context,
                      SyncChanges& out);

// Turns the reply to the ranking query into a new game order and pxtime stamp appended to
// `out` when the reply reports a change (field 3 is "1" and the reply has its 6 fields).
// At most 50 entries "id,position" separated by "|" are read; an entry without an id or a
// position from 1 to 99, or whose position an earlier entry took, is ignored. Returns true
// when the order changed.
bool ApplyRankingReply(std::string_view reply, SyncChanges& out);

}  // namespace server

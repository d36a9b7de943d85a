#pragma once

#include <cstdint>
#include <string>

#include "catalog/ToolRecord.h"
#include "job/Result.h"
#include "server/ServerClient.h"

namespace server {

// The start report: the report time and the first-start flag, "0" when usercfg.dat's
// firststart is empty or "0" (firststart then becomes "1" as soon as the server is reached,
// before the report goes out) and "1" otherwise. Ok when the server answered (2 bytes or
// more), which marks the server as reached; Network otherwise.
job::Result SendStartReport(ServerClient& client, const std::string& programDir);

// The run report of one tool: its id, GAMEID and TYPE and the report time. Ok when the
// server answered. ReportJob runs it on a client and a record of its own, so it can run
// while the tile that started it goes away.
job::Result SendRunReport(ServerClient& client, const catalog::ToolRecord& tool);

// The feedback report about item `itemId` of game `gameId` (0 for a general tool) with the
// reason text the user composed. An empty reason sends nothing (BadData). Ok when the server
// answered.
job::Result SendFeedback(ServerClient& client, uint32_t gameId, uint32_t itemId,
                         const std::string& reason);

}  // namespace server

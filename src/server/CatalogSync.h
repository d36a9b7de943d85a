#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "server/CatalogChange.h"
#include "server/ServerClient.h"

namespace server {

// Called from the synchronising thread as soon as it knows the catalogs will change:
// `busyBox` asks for the busy box too (full records or a new order), not only the busy state.
using BusyFn = std::function<void(bool busyBox)>;

// One catalog synchronisation, run on a worker thread: the catalog query with lasttime, the
// changes read from its reply, the icons fetched (each into a temporary file that replaces
// the old icon only when complete), the ranking query with pxtime. Nothing in the catalog
// files changes here; the caller hands the result to the catalog's owner (ApplySyncChanges).
// An unreachable server gives an empty result. With `cancel` set the run stops at the next
// step and the result must not be applied (`cancelled` in the return value says so).
struct SyncRun {
    SyncChanges changes;
    int iconsFetched = 0;
    bool answered = false;  // the server answered the catalog query (even with nothing new)
    bool cancelled = false;
};
SyncRun SyncCatalogs(ServerClient& client, const std::string& programDir, const BusyFn& busy = {},
                     const std::atomic<bool>* cancel = nullptr);

// How long the fetch of one icon may take. Icons are small: a server that stops sending one,
// trickles it, or takes longer than `total` for it (retries included) is given up on, and the
// synchronisation goes on with the next icon.
struct IconLimits {
    std::chrono::seconds connect{10};
    std::chrono::seconds stall{15};
    std::uint32_t lowSpeedBytes = 1024;  // per second, over `lowSpeedTime`
    std::chrono::seconds lowSpeedTime{15};
    std::chrono::seconds total{60};
    int retries = 1;
};

// Fetches each icon into a temporary file beside its target and renames it over the target
// when complete; a failed fetch leaves the old file. Returns how many arrived.
int FetchIcons(const std::vector<IconFetch>& icons, const std::atomic<bool>* cancel = nullptr,
               const IconLimits& limits = {});

// Games listed in the program directory's gamecfg.dat whose icon file is missing and whose
// icon address may be fetched (a short name part). The games list leaves such games out, so
// their icons are fetched again at every synchronisation until they arrive.
std::vector<IconFetch> MissingGameIcons(const std::string& programDir);

}  // namespace server

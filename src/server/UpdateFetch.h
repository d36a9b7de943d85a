#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "job/Result.h"

namespace server {

// The new version's archive, fetched by the launcher into its program directory before it
// hands over to the updater: the fetch is the long part of an update, and while the launcher
// still runs it can show the user how far it has come. The updater takes this file instead of
// downloading the archive itself, and downloads it as before when the file is not there.
inline constexpr const char* kFetchedArchiveName = "update.zip";

// How far the fetch has come: per mille of the archive (received x 1000 / total, at most
// 1000), or -1 while the size is unknown. The last report of a fetch has `done` set.
struct UpdateFetchProgress {
    int perMille = -1;
    bool done = false;
};

// Fetches `url` into the file `path`: the file is there and complete only when the result is
// ok. Cancelled when the fetch was asked to stop.
using ArchiveFetcher = std::function<job::Result(const std::string& url, const std::string& path)>;

// An ArchiveFetcher over HTTP that stops when `cancel` (may be null) is set and reports to
// `progress` (may be empty) from the fetching thread.
ArchiveFetcher HttpArchiveFetcher(const std::atomic<bool>* cancel,
                                  std::function<void(const UpdateFetchProgress&)> progress);

}  // namespace server

#pragma once

#include <string>

#include "catalog/Outcome.h"

namespace updater {

// What the launcher's version check left in update.ini, section "ravikver": the new
// version, its release stamp and the address of the archive that holds it.
struct UpdateRequest {
    std::string version;
    std::string sertime;
    std::string clientadd;

    // Why the request cannot be carried out (missing file or value), or an empty text.
    std::string problem;
    bool Ok() const { return problem.empty(); }
};

// Reads update.ini in `programDir` (with its trailing separator). Every one of the three
// values is needed: without the address there is nothing to fetch, and without version and
// release stamp the update could not be recorded.
UpdateRequest ReadUpdateRequest(const std::string& programDir);

// usercfg.dat [ravikver] version and sertime as they stand (empty when missing).
struct InstalledVersion {
    std::string version;
    std::string sertime;
};
InstalledVersion ReadInstalledVersion(const std::string& programDir);

// Makes usercfg.dat claim `version` and `sertime` in section "ravikver", in one atomic save
// that keeps every other key, line and the file's encoding as they were.
catalog::Outcome RecordInstalledVersion(const std::string& programDir, const std::string& version,
                                        const std::string& sertime);

}  // namespace updater

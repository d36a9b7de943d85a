#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "catalog/LauncherConfig.h"
#include "install/ArchiveSignature.h"
#include "job/ResultOf.h"

namespace install {

// How an update or tool archive that arrived over the network is trusted before anything of
// it is installed. Plain HTTP lets anyone on the way (a café router, a hostile hotspot) serve
// any archive; the CRC checks only stop damage. A publisher signature beside the archive
// (address + ".sig") stops the rest:
// - a signature that is there but not valid is always refused;
// - with `require` an archive without a valid signature is refused too;
// - without it an archive without a signature installs as before, and the log says so.
struct TrustPolicy {
    std::vector<PublicKey> keys;
    bool require = false;

    // The policy of the program that runs: the keys built in at configure time, plus the
    // [trust] key of launcher.ini in a portable copy (whoever may write that file there may
    // replace the programs beside it anyway; an installed launcher's files belong to its
    // installer, so a per-user file may not add keys to it); require from [trust] require,
    // by default on exactly when a key is built in.
    static TrustPolicy ForProgram(const std::string& programDir);
    // The same rule on given parts, for the tests.
    static TrustPolicy From(const std::string& builtInKeys, const catalog::LauncherConfig& config,
                            bool portable);

    // Fetches `url` + ".sig" to `archivePath` + ".sig" (removed again afterwards) and checks
    // the archive at `archivePath` with it. Ok with the signed facts when the signature is
    // valid, and with an empty SignedArchive when an unsigned archive may be installed.
    // Untrusted when it may not (the reason says why), Cancelled when `cancel` was set, and
    // Network when the signature could not be fetched for another reason than its absence
    // while one is required.
    job::ResultOf<SignedArchive> CheckDownload(const std::string& url,
                                               const std::string& archivePath,
                                               const std::atomic<bool>* cancel) const;
};

}  // namespace install

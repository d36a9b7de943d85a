#pragma once

#include <functional>
#include <string>
#include <vector>

#include "job/Result.h"
#include "job/ResultOf.h"
#include "platform/Paths.h"
#include "server/ServerClient.h"
#include "server/UserPrompt.h"

namespace server {

inline constexpr const char* kAskUpdateText = "发现服务器有新版本，是否升级";
inline constexpr const char* kUpToDateText = "当前已经是最新版本!";

// The file name of the external updater, started from the program directory.
inline const std::string kUpdaterName = std::string("Rv_Update") + platform::kExecutableSuffix;

// Automatic: the start-up worker's check, silent unless a newer version exists.
// Manual: the user asked, so "up to date" is said too.
enum class VersionCheckMode { Automatic, Manual };

// The data server's answer to the version query.
struct VersionInfo {
    bool newer = false;     // field 3 is exactly "1" and fields 4 to 6 are there
    std::string sertime;    // field 4
    std::string version;    // field 5
    std::string clientadd;  // field 6
};

// Sends the version query with `sertime` and `version` and reads the answer (a reply of 2
// bytes or more); Network when none came. Writes nothing.
job::ResultOf<VersionInfo> QueryVersion(ServerClient& client, const std::string& sertime,
                                        const std::string& version);

// Starts a program with its arguments, hidden; false when it could not be started.
using ProgramStarter =
    std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
ProgramStarter HiddenProgramStarter();

// What the check did besides asking, when nothing failed.
enum class VersionAction {
    None,            // the server reports no newer version (or the check failed)
    Declined,        // the user did not want the update
    UpdaterStarted,  // the caller ends the program now
};

struct VersionCheckResult {
    // Network: no connection or no reply, nothing happened. WriteFailed: update.ini or
    // usercfg.dat could not be written, no updater started. StartFailed: the updater could
    // not be started, also on the one repeat.
    job::Result result;
    VersionAction action = VersionAction::None;
    VersionInfo info;  // what the server offered, also when a later step failed
};

// The version check of the program in `programDir`: asks the server with the stored sertime
// and version; when a newer version exists it asks the user (unless autoupdate is "1"),
// writes update.ini (version, sertime, clientadd) and then usercfg.dat (oldversion,
// oldsertime, old = "1"), and starts the updater hidden with the program directory as its one
// argument. When the updater does not start, the check runs once more in automatic mode.
// In manual mode an answer without a newer version is told to the user.
VersionCheckResult CheckVersion(ServerClient& client, const std::string& programDir,
                                VersionCheckMode mode, UserPrompt& prompt,
                                const ProgramStarter& start = HiddenProgramStarter());

}  // namespace server

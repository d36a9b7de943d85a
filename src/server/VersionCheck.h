#pragma once

#include <functional>
#include <string>
#include <vector>

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
    bool answered = false;  // a reply of 2 bytes or more came
    bool newer = false;     // field 3 is exactly "1" and fields 4 to 6 are there
    std::string sertime;    // field 4
    std::string version;    // field 5
    std::string clientadd;  // field 6
};

// Sends the version query with `sertime` and `version` and reads the answer. Writes nothing.
VersionInfo QueryVersion(ServerClient& client, const std::string& sertime,
                         const std::string& version);

// Starts a program with its arguments, hidden; false when it could not be started.
using ProgramStarter =
    std::function<bool(const std::string& program, const std::vector<std::string>& args)>;
ProgramStarter HiddenProgramStarter();

struct VersionCheckResult {
    enum Outcome {
        NoAnswer,        // no connection or no reply: nothing happened
        UpToDate,        // the server reports no newer version
        Declined,        // the user did not want the update
        WriteFailed,     // update.ini or usercfg.dat could not be written; no updater started
        UpdaterStarted,  // the caller ends the program now
        UpdaterFailed,   // the updater could not be started, also on the one repeat
    };
    Outcome outcome = NoAnswer;
    VersionInfo info;
    std::string reason;  // for WriteFailed and UpdaterFailed
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

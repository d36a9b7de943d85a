#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "install/TrustPolicy.h"
#include "job/Result.h"
#include "job/ResultOf.h"
#include "platform/Paths.h"
#include "server/ServerClient.h"
#include "server/UpdateFetch.h"
#include "server/UserPrompt.h"

namespace server {

inline constexpr const char* kAskUpdateText = "发现服务器有新版本，是否升级";
inline constexpr const char* kUpToDateText = "当前已经是最新版本!";
inline constexpr const char* kCannotReachServerText = "无法连接服务器，请检查网络后重试";

// What an installed launcher says instead of the update question: "发现新版本 2.0，请使用系统的
// 软件包管理器更新。"
std::string PackageUpdateText(const std::string& version);

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

// How a newer version reaches the launcher.
enum class UpdateRoute {
    Updater,         // a portable copy: Rv_Update replaces the files of its program directory
    PackageManager,  // an installed launcher: whoever installed it (the system's package
                     // manager) updates it, so the user is only told that a new version exists
};

// The route of the running program: PackageManager when it is an installed launcher
// (catalog::IsInstalledLauncher of its own directory, whatever program directory it uses).
UpdateRoute RunningLauncherRoute();

// How the check carries out an update.
struct UpdateRoad {
    UpdateRoute route = UpdateRoute::Updater;
    // Fetches the archive into kFetchedArchiveName before the updater starts.
    ArchiveFetcher fetch = HttpArchiveFetcher(nullptr, {});
    ProgramStarter start = HiddenProgramStarter();
    // Checks the fetched archive's signature; default: install::TrustPolicy::ForProgram of
    // the program directory.
    std::optional<install::TrustPolicy> trust = std::nullopt;
};

// What the check did besides asking, when nothing failed.
enum class VersionAction {
    None,            // the server reports no newer version (or the check failed), or an
                     // installed launcher already told the user about this release
    Declined,        // the user did not want the update now
    Skipped,         // the user skips this release, now or (start-up check) before
    Told,            // an installed launcher told the user about the new release
    UpdaterStarted,  // the caller ends the program now
};

struct VersionCheckResult {
    // Network: no connection or no reply, nothing happened. WriteFailed: update.ini or
    // usercfg.dat could not be written, no updater started. StartFailed: the updater could
    // not be started, also on the one repeat. Cancelled: stopped while fetching the archive,
    // nothing written. Untrusted: the fetched archive's signature was refused (the user was
    // told kSignatureRefusedText), nothing written, no updater started.
    job::Result result;
    VersionAction action = VersionAction::None;
    VersionInfo info;  // what the server offered, also when a later step failed
};

// The version check of the program in `programDir`: asks the server with the stored sertime
// and version. When a newer version exists:
// - an installed launcher (route PackageManager) tells the user that the system's package
//   manager updates it, at start-up once per release (usercfg.dat toldsertime), and starts
//   nothing;
// - otherwise the start-up check passes over a release the user skipped (skipsertime); the
//   user is asked (unless autoupdate is "1"): 以后再说 does nothing, 跳过此版本 records the
//   release as skipped, 升级 fetches the archive (a failed fetch leaves the download to the
//   updater) and checks its signature (a refused one ends the update with the user told
//   why), writes update.ini (version, sertime, clientadd) and then usercfg.dat
//   (oldversion, oldsertime, old = "1"), and starts the updater hidden with the program
//   directory as its one argument. When the updater does not start, the check runs once
//   more in automatic mode.
// In manual mode an answer without a newer version is told to the user.
VersionCheckResult CheckVersion(ServerClient& client, const std::string& programDir,
                                VersionCheckMode mode, UserPrompt& prompt,
                                const UpdateRoad& road = {});

}  // namespace server

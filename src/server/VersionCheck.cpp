#include "server/VersionCheck.h"

#include <filesystem>

#include "catalog/FileSystem.h"
#include "catalog/IniFile.h"
#include "catalog/LauncherConfig.h"
#include "catalog/UserSettings.h"
#include "job/Log.h"
#include "platform/Shell.h"
#include "server/Frame.h"

namespace server {

std::string PackageUpdateText(const std::string& version) {
    return "发现新版本 " + version + "，请使用系统的软件包管理器更新。";
}

job::ResultOf<VersionInfo> QueryVersion(ServerClient& client, const std::string& sertime,
                                        const std::string& version) {
    Reply reply = client.Exchange(Message::VersionCheck, {sertime, version});
    if (!reply.Answered()) {
        return job::Result::Failed(job::Code::Network,
                                   "the data server did not answer the version check");
    }
    VersionInfo info;
    std::vector<std::string> fields = SplitTextFields(reply.text);
    // A reply marked "1" that lacks the new version data cannot be acted on.
    if (fields.size() >= 7 && fields[3] == "1") {
        info.newer = true;
        info.sertime = fields[4];
        info.version = fields[5];
        info.clientadd = fields[6];
    }
    return info;
}

ProgramStarter HiddenProgramStarter() {
    return [](const std::string& program, const std::vector<std::string>& args) {
        return platform::StartProgram(program, args, {}, true);
    };
}

UpdateRoute RunningLauncherRoute() {
    return catalog::IsInstalledLauncher(platform::ExecutableDirectory())
               ? UpdateRoute::PackageManager
               : UpdateRoute::Updater;
}

namespace {

// Records the new version for the updater and the old one for the upgrade report.
catalog::Outcome WriteUpdateFiles(const std::string& programDir, const VersionInfo& info,
                                  const std::string& oldVersion, const std::string& oldSertime) {
    catalog::IniFile update = catalog::IniFile::Load(programDir + "update.ini");
    update.Set("ravikver", "version", info.version);
    update.Set("ravikver", "sertime", info.sertime);
    update.Set("ravikver", "clientadd", info.clientadd);
    catalog::Outcome saved = update.Save();
    if (!saved.ok()) {
        return saved;
    }
    return catalog::UserSettings(programDir).RememberOldVersion(oldVersion, oldSertime);
}

// A release is named by its sertime, the stamp the server compares; an empty one names none.
bool SameRelease(const std::string& remembered, const VersionInfo& info) {
    return !remembered.empty() && remembered == info.sertime;
}

void RemoveFetchedArchive(const std::string& programDir) {
    std::error_code ec;
    std::filesystem::remove(catalog::NativePath(programDir + kFetchedArchiveName), ec);
}

// Fetches the archive for the updater and checks its signature. Any archive of an earlier
// fetch goes first, so the updater never takes one that belongs to another release. Only a
// cancel or a refused signature stops the update: after any other failure the updater
// downloads the archive itself (and checks it), as it always could.
job::Result FetchArchive(const UpdateRoad& road, const std::string& programDir,
                         const VersionInfo& info) {
    RemoveFetchedArchive(programDir);
    const std::string archive = programDir + kFetchedArchiveName;
    job::Result fetched = road.fetch(info.clientadd, archive);
    if (fetched.Ok()) {
        const install::TrustPolicy trust =
            road.trust ? *road.trust : install::TrustPolicy::ForProgram(programDir);
        fetched = trust.CheckDownload(info.clientadd, archive, nullptr).Status();
        if (fetched.Ok()) {
            return fetched;
        }
    }
    RemoveFetchedArchive(programDir);
    if (fetched.Is(job::Code::Cancelled) || fetched.Is(job::Code::Untrusted)) {
        return fetched;
    }
    job::Log::Write(job::Log::Level::Info, "fetching the new version: " + fetched.Describe() +
                                               "; the updater downloads it itself");
    return job::Result::Done();
}

}  // namespace

VersionCheckResult CheckVersion(ServerClient& client, const std::string& programDir,
                                VersionCheckMode mode, UserPrompt& prompt, const UpdateRoad& road) {
    VersionCheckResult result;
    // A failed launch repeats the check once, in automatic mode; a launch that keeps failing
    // must not keep the user in a loop of questions.
    for (int attempt = 0; attempt < 2; ++attempt) {
        catalog::UserSettings settings(programDir);
        std::string sertime = settings.SerTime();
        std::string version = settings.Version();
        result = VersionCheckResult{};
        job::ResultOf<VersionInfo> query = QueryVersion(client, sertime, version);
        if (!query.Ok()) {
            result.result = query.Status();
            return result;
        }
        result.info = query.Value();
        if (!result.info.newer) {
            if (mode == VersionCheckMode::Manual) {
                prompt.Tell(kUpToDateText);
            }
            return result;
        }
        const bool atStartup = mode == VersionCheckMode::Automatic;
        if (road.route == UpdateRoute::PackageManager) {
            // The updater could only replace files in the program directory, which holds
            // none of an installed launcher's programs, and those belong to the package
            // manager anyway. Once per release is enough at start-up; asked, it is said again.
            if (!atStartup || !SameRelease(settings.ToldRelease(), result.info)) {
                prompt.Tell(PackageUpdateText(result.info.version));
                result.action = VersionAction::Told;
                result.result = settings.SetToldRelease(result.info.sertime).ToResult();
            }
            return result;
        }
        if (atStartup && SameRelease(settings.SkippedRelease(), result.info)) {
            result.action = VersionAction::Skipped;
            return result;
        }
        if (!settings.AutoUpdate()) {
            switch (prompt.AskUpdate(kAskUpdateText)) {
                case UpdateAnswer::Update:
                    break;
                case UpdateAnswer::SkipRelease:
                    result.action = VersionAction::Skipped;
                    result.result = settings.SetSkippedRelease(result.info.sertime).ToResult();
                    return result;
                case UpdateAnswer::Later:
                    result.action = VersionAction::Declined;
                    return result;
            }
        }
        if (job::Result fetched = FetchArchive(road, programDir, result.info); !fetched.Ok()) {
            if (fetched.Is(job::Code::Untrusted)) {
                prompt.Tell(install::kSignatureRefusedText);
            }
            result.result = fetched;
            return result;
        }
        result.result = WriteUpdateFiles(programDir, result.info, version, sertime).ToResult();
        if (!result.result.Ok()) {
            RemoveFetchedArchive(programDir);
            return result;
        }
        std::string updater = programDir + kUpdaterName;
        if (road.start(updater, {programDir})) {
            result.action = VersionAction::UpdaterStarted;
            return result;
        }
        result.result = job::Result::Failed(job::Code::StartFailed, "cannot start " + updater);
        RemoveFetchedArchive(programDir);
        mode = VersionCheckMode::Automatic;
    }
    return result;
}

}  // namespace server

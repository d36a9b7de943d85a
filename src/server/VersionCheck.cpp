#include "server/VersionCheck.h"

#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"
#include "platform/Shell.h"
#include "server/Frame.h"

namespace server {

job::ResultOf<VersionInfo> QueryVersion(ServerClient& client, const std::string& sertime,
                                        const std::string& version) {
    Reply reply = client.Exchange(Message::VersionCheck, {sertime, version});
    if (!reply.Answered()) {
        return job::Result::Failed(job::Code::Network,
                                   "the data server did not answer the version check");
    }
    VersionInfo info;
    std::vector<std::string> fields = SplitFields(reply.text, kFieldSeparator);
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

}  // namespace

VersionCheckResult CheckVersion(ServerClient& client, const std::string& programDir,
                                VersionCheckMode mode, UserPrompt& prompt,
                                const ProgramStarter& start) {
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
        if (!settings.AutoUpdate() && !prompt.Confirm(kAskUpdateText)) {
            result.action = VersionAction::Declined;
            return result;
        }
        catalog::Outcome written = WriteUpdateFiles(programDir, result.info, version, sertime);
        if (!written.ok()) {
            result.result = job::Result::Failed(job::Code::WriteFailed, written.reason);
            return result;
        }
        std::string updater = programDir + kUpdaterName;
        if (start(updater, {programDir})) {
            result.action = VersionAction::UpdaterStarted;
            return result;
        }
        result.result = job::Result::Failed(job::Code::StartFailed, "cannot start " + updater);
        mode = VersionCheckMode::Automatic;
    }
    return result;
}

}  // namespace server

#include "Updater.h"

#include <filesystem>
#include <thread>

#include "StagedArchive.h"
#include "UpdateRequest.h"
#include "UpdateRules.h"
#include "catalog/FileSystem.h"
#include "install/HttpDownload.h"
#include "platform/Paths.h"
#include "platform/Processes.h"
#include "platform/Shell.h"
#include "server/UpdateFetch.h"

namespace updater {

namespace {

// Only the launcher of this program directory matters: another copy elsewhere, or another
// user's, neither holds these files nor is ours to wait for.
std::function<bool()> LauncherOf(const std::string& programDir) {
    return [program = programDir + kLauncherName] {
        return !platform::FindProcesses(program).empty();
    };
}

bool StartLauncher(const std::string& program, const std::string& directory) {
    return platform::StartProgram(program, {}, directory);
}

std::string Seconds(std::chrono::milliseconds span) {
    return std::to_string((span.count() + 999) / 1000) + " s";
}

}  // namespace

Updater::Updater(const std::string& programDir, UpdateOptions options)
    : programDir_(platform::WithTrailingSeparator(programDir)),
      options_(std::move(options)),
      log_(programDir_ + kLogFile, options_.echoLog),
      replacer_(programDir_, log_) {
    if (!options_.launcherRunning) {
        options_.launcherRunning = LauncherOf(programDir_);
    }
    if (!options_.startLauncher) {
        options_.startLauncher = StartLauncher;
    }
    replacer_.SetMove(options_.move);
    replacer_.SetCheckpoint(options_.checkpoint);
    replacer_.SetAttempts(options_.moveAttempts, options_.movePause);
}

bool Updater::StopRequested() const {
    return options_.stop != nullptr && options_.stop->load();
}

bool Updater::WaitForLauncherExit() {
    if (!options_.launcherRunning()) {
        return true;
    }
    log_.Write(std::string("waiting up to ") + Seconds(options_.launcherWait) + " for " +
               kLauncherName + " to exit");
    const auto deadline = std::chrono::steady_clock::now() + options_.launcherWait;
    while (options_.launcherRunning()) {
        if (StopRequested() || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(options_.pollInterval);
    }
    log_.Write(std::string(kLauncherName) + " has exited");
    return true;
}

bool Updater::Commit(const UpdateJournal& journal, std::string& problem) {
    catalog::Outcome recorded =
        RecordInstalledVersion(programDir_, journal.version, journal.sertime);
    if (!recorded.ok()) {
        problem = "cannot record the new version in usercfg.dat: " + recorded.reason;
        log_.Write(problem);
        job::Result back = replacer_.RollBack(journal);
        if (!back.Ok()) {
            problem += "; rolling back failed too: " + back.reason;
        } else {
            replacer_.RemoveWorkDirectory();
        }
        return false;
    }
    log_.Write("usercfg.dat now claims version " + journal.version + " (sertime " +
               journal.sertime + ")");
    if (options_.checkpoint) {
        options_.checkpoint("recorded");
    }
    if (!replacer_.RemoveWorkDirectory()) {
        log_.Write("cannot remove all of " + replacer_.WorkDirectory());
    }
    if (!replacer_.RemoveJournal()) {
        log_.Write("cannot remove " + replacer_.JournalPath());
    }
    return true;
}

bool Updater::RecoverEarlierRun(std::string& problem) {
    UpdateJournal journal;
    UpdateJournal::ReadResult read = UpdateJournal::Read(replacer_.JournalPath(), journal);
    switch (read.status) {
        case UpdateJournal::ReadStatus::Missing:
            return true;
        case UpdateJournal::ReadStatus::Damaged:
            // Without a plan nobody can tell which files are old and which new; touching
            // them could only make things worse.
            problem =
                "the journal of an earlier run is damaged, files left as they are: " + read.error;
            return false;
        case UpdateJournal::ReadStatus::Ok:
            break;
    }
    if (journal.state == UpdateJournal::State::Done) {
        log_.Write("an earlier run put every file of version " + journal.version +
                   " in place but did not finish; finishing it");
        return Commit(journal, problem);
    }
    log_.Write("an earlier run stopped while replacing files for version " + journal.version +
               "; rolling them back");
    job::Result back = replacer_.RollBack(journal);
    if (!back.Ok()) {
        problem = "cannot roll back the earlier run: " + back.reason;
        return false;
    }
    return true;
}

bool Updater::Download(const std::string& url, const std::string& path, std::string& problem) {
    log_.Write("downloading " + url);
    install::HttpDownload download(url, path);
    download.SetReplaceWhenComplete(true);
    download.SetStallTimeout(options_.stallTimeout);
    download.SetConnectTimeout(options_.connectTimeout);
    download.SetRetries(options_.downloadRetries);
    download.SetRetryPause(options_.downloadRetryPause);
    download.SetCancelFlag(options_.stop);
    install::DownloadResult result = download.Run();
    if (!result.Ok()) {
        problem = "downloading " + url + " failed: " + result.result.reason;
        return false;
    }
    log_.Write("downloaded " + std::to_string(result.bytes) + " bytes");
    return true;
}

bool Updater::TakeFetchedArchive(const std::string& archive) {
    const std::string fetched = programDir_ + server::kFetchedArchiveName;
    if (!catalog::FileExists(fetched)) {
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(catalog::NativePath(fetched), catalog::NativePath(archive), ec);
    if (ec) {
        log_.Write("cannot take " + fetched + " (" + ec.message() + "); downloading instead");
        std::filesystem::remove(catalog::NativePath(fetched), ec);
        return false;
    }
    log_.Write("taking the archive the launcher fetched, " + fetched);
    return true;
}

std::string Updater::RefusalOf(const std::string& archive, const UpdateRequest& request) {
    if (!options_.trust) {
        options_.trust = install::TrustPolicy::ForProgram(programDir_);
    }
    job::ResultOf<install::SignedArchive> checked =
        options_.trust->CheckDownload(request.clientadd, archive, options_.stop);
    if (!checked.Ok()) {
        return checked.Status().Is(job::Code::Untrusted)
                   ? std::string(install::kSignatureRefusedText) + ": " + checked.Status().reason
                   : "checking the signature: " + checked.Status().reason;
    }
    if (checked->verified) {
        log_.Write("the archive's signature is valid");
    } else {
        log_.Write("the archive is not signed; installing it as the trust policy allows");
    }
    // The data server's reply names the version; only a signed release ties it to the
    // archive, so the two must agree.
    if (!checked->release.empty() && checked->release != request.version) {
        return std::string(install::kSignatureRefusedText) + ": the archive is signed for " +
               checked->release + ", update.ini asks for " + request.version;
    }
    const std::string installed = ReadInstalledVersion(programDir_).version;
    if (!installed.empty() && CompareVersions(request.version, installed) < 0) {
        return "version " + request.version + " is older than the installed " + installed +
               "; a replayed old update is refused";
    }
    return {};
}

UpdateOutcome Updater::End(UpdateOutcome::Status status, std::string reason, bool startLauncher) {
    UpdateOutcome outcome;
    outcome.status = status;
    outcome.reason = std::move(reason);
    switch (status) {
        case UpdateOutcome::Updated:
            log_.Write("update finished");
            break;
        case UpdateOutcome::AlreadyCurrent:
            log_.Write("usercfg.dat already claims the requested version; nothing to do");
            break;
        case UpdateOutcome::Failed:
            log_.Write("update failed: " + outcome.reason);
            break;
        case UpdateOutcome::Stopped:
            log_.Write("update stopped: " + outcome.reason);
            break;
    }
    if (startLauncher) {
        std::string program = programDir_ + kLauncherName;
        outcome.launcherStarted = options_.startLauncher(program, programDir_);
        log_.Write((outcome.launcherStarted ? "started " : "cannot start ") + program);
    }
    return outcome;
}

UpdateOutcome Updater::Run() {
    log_.Write("Rv_Update started for " + programDir_);
    if (!WaitForLauncherExit()) {
        if (StopRequested()) {
            return End(UpdateOutcome::Stopped, "asked to stop while waiting for the launcher",
                       false);
        }
        // Starting it again only brings the running launcher to the front.
        return End(
            UpdateOutcome::Failed,
            std::string(kLauncherName) + " did not exit within " + Seconds(options_.launcherWait),
            true);
    }
    std::string problem;
    if (!RecoverEarlierRun(problem)) {
        return End(UpdateOutcome::Failed, problem, true);
    }
    if (!replacer_.RemoveWorkDirectory()) {
        return End(UpdateOutcome::Failed,
                   "cannot clear what an earlier run left in " + replacer_.WorkDirectory(), true);
    }

    // From here on the work folder may hold the archive; whatever the end, it leaves nothing
    // of it behind.
    auto fail = [this](UpdateOutcome::Status status, const std::string& why) {
        replacer_.RemoveWorkDirectory();
        return End(status, why, status != UpdateOutcome::Stopped);
    };
    std::string archive = replacer_.WorkDirectory() + platform::kSeparator + "client.zip";
    if (!install::CreateDirectoryPath(replacer_.WorkDirectory())) {
        return fail(UpdateOutcome::Failed, "cannot make the folder " + replacer_.WorkDirectory());
    }
    const bool fetched = TakeFetchedArchive(archive);

    UpdateRequest request = ReadUpdateRequest(programDir_);
    if (!request.Ok()) {
        return fail(UpdateOutcome::Failed, request.problem);
    }
    log_.Write("update.ini asks for version " + request.version + " (sertime " + request.sertime +
               ") from " + request.clientadd);
    InstalledVersion installed = ReadInstalledVersion(programDir_);
    if (installed.version == request.version && installed.sertime == request.sertime) {
        return fail(UpdateOutcome::AlreadyCurrent, {});
    }
    if (!fetched && !Download(request.clientadd, archive, problem)) {
        return fail(StopRequested() ? UpdateOutcome::Stopped : UpdateOutcome::Failed, problem);
    }
    if (std::string refused = RefusalOf(archive, request); !refused.empty()) {
        return fail(StopRequested() ? UpdateOutcome::Stopped : UpdateOutcome::Failed, refused);
    }
    StagedFiles staged = StageArchive(archive, replacer_.StagingDirectory());
    if (!staged.result.Ok()) {
        return fail(UpdateOutcome::Failed, staged.result.reason);
    }
    log_.Write("the archive is complete and holds " + std::to_string(staged.files.size()) +
               " file(s)");
    if (StopRequested()) {
        return fail(UpdateOutcome::Stopped, "asked to stop before replacing files");
    }

    UpdateJournal journal;
    journal.version = request.version;
    journal.sertime = request.sertime;
    if (job::Result planned = replacer_.Plan(staged.files, journal); !planned.Ok()) {
        return fail(UpdateOutcome::Failed, planned.reason);
    }
    if (job::Result replaced = replacer_.Replace(journal); !replaced.Ok()) {
        // A journal still there means some file could not be put back: the work folder keeps
        // the backups, so the next run can try again.
        if (catalog::FileExists(replacer_.JournalPath())) {
            return End(UpdateOutcome::Failed, replaced.reason, true);
        }
        return fail(UpdateOutcome::Failed, replaced.reason);
    }
    if (!Commit(journal, problem)) {
        return End(UpdateOutcome::Failed, problem, true);
    }
    return End(UpdateOutcome::Updated, {}, !StopRequested());
}

}  // namespace updater

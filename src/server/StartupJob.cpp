#include "server/StartupJob.h"

#include "job/Log.h"
#include "server/CatalogSync.h"
#include "server/Reports.h"

namespace server {

StartupJob::StartupJob(ClientConfig config, std::string programDir, UserPrompt& prompt,
                       StartupPauses pauses, ClientIdentity identity)
    : client_(std::move(config), std::move(identity)),
      programDir_(std::move(programDir)),
      prompt_(prompt) {
    client_.SetCancelFlag(CancelFlag());
    AddStep([this] { return ReportStart(); });
    AddPause(pauses.afterStartReport);
    AddStep([this] { return CheckForUpdate(); });
    AddPause(pauses.afterVersionCheck);
    AddStep([this] { return SynchroniseCatalogs(); });
}

StartupJob::Next StartupJob::ReportStart() {
    // An unanswered report is the normal case while the server is away: the window tries
    // again with a new job, and the other steps still run.
    const job::Result report = SendStartReport(client_, programDir_);
    reached_ = report.Ok();
    if (reached_) {
        Emit(ServerReached{});
    } else {
        job::Log::Write(job::Log::Level::Info, "start report: " + report.Describe());
        if (!Cancelled()) {
            Emit(ServerUnreachable{});
        }
    }
    return Next::Continue;
}

StartupJob::Next StartupJob::CheckForUpdate() {
    const UpdateRoad road{
        route_,
        HttpArchiveFetcher(CancelFlag(), [this](const UpdateFetchProgress& p) { Progress(p); }),
        HiddenProgramStarter()};
    const VersionCheckResult version =
        CheckVersion(client_, programDir_, VersionCheckMode::Automatic, prompt_, road);
    if (version.result.Is(job::Code::Network)) {
        job::Log::Write(job::Log::Level::Info, "version check: " + version.result.Describe());
    } else {
        job::Log::Failure("version check", version.result);
    }
    if (version.action == VersionAction::UpdaterStarted) {
        Emit(UpdaterStarted{});
        return Next::Stop;
    }
    return Next::Continue;
}

StartupJob::Next StartupJob::SynchroniseCatalogs() {
    SyncRun sync = SyncCatalogs(
        client_, programDir_, [this](bool busyBox) { Emit(SyncBusy{busyBox}); }, CancelFlag());
    if (sync.answered) {
        job::Log::Write(job::Log::Level::Info,
                        "catalog sync: " + std::to_string(sync.changes.records) + " records, " +
                            (sync.changes.ranked ? "a new game order, " : "") +
                            std::to_string(sync.iconsFetched) + " icons fetched");
        Emit(CatalogAnswered{});
    } else if (!sync.cancelled) {
        job::Log::Write(job::Log::Level::Info, "catalog sync: no answer");
        if (reached_) {
            // An unanswered start report was told already.
            Emit(ServerUnreachable{});
        }
    }
    if (sync.cancelled) {
        // The window may have entered the busy state; give it back.
        if (sync.changes.busy) {
            Emit(SyncUnchanged{});
        }
    } else if (sync.changes.Empty()) {
        Emit(SyncUnchanged{});
    } else {
        Emit(SyncReady{std::move(sync.changes)});
    }
    return Next::Continue;
}

}  // namespace server

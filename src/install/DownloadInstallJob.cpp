#include "install/DownloadInstallJob.h"

#include <algorithm>

#include "install/HttpDownload.h"
#include "install/ToolInstall.h"
#include "platform/Paths.h"

namespace install {

namespace {

using Phase = DownloadCounters::Phase;

std::uint32_t Clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(value, UINT32_MAX));
}

}  // namespace

DownloadInstallJob::DownloadInstallJob(std::string programDir, catalog::ToolRecord tool)
    : programDir_(platform::WithTrailingSeparator(std::move(programDir))),
      tool_(std::move(tool)),
      titleLine_("正在下载：   " + tool_.title) {}

std::string DownloadInstallJob::ArchivePath() const {
    return ToolArchivePath(programDir_, tool_.id);
}

std::string DownloadInstallJob::InstallDirectory() const {
    return ToolInstallDirectory(programDir_, tool_.id);
}

void DownloadInstallJob::EnterPhase(Phase phase) {
    counters_.phase = phase;
    Progress(counters_);
}

job::Result DownloadInstallJob::Run() {
    EnterPhase(Phase::Downloading);
    const std::string archive = ArchivePath();
    CreateDirectoryPath(programDir_ + "ToolDownload");

    HttpDownload download(tool_.url, archive);
    download.SetCancelFlag(CancelFlag());
    download.SetStallTimeout(stall_);
    download.SetRetries(retries_);
    download.SetRetryPause(retryPause_);
    const auto start = std::chrono::steady_clock::now();
    download.SetProgressCallback([this, start](const DownloadProgress& p) {
        counters_.totalKB = Clamp32(p.total >> 10);
        counters_.receivedKB = Clamp32(p.received >> 10);
        counters_.perMille =
            p.total == 0 ? 0
                         : Clamp32(std::min<std::uint64_t>(p.received, p.total) * 1000 / p.total);
        auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
        counters_.speedKBps = elapsed <= 0 ? 0 : Clamp32((p.received >> 10) / elapsed);
        counters_.retries = p.attempt;
        Progress(counters_);
    });
    DownloadResult fetched = download.Run();
    counters_.retries = fetched.retriesUsed;
    if (Cancelled()) {
        return CancelledResult();
    }
    if (!fetched.Ok()) {
        Progress(counters_);
        return fetched.result;
    }
    // A server that sent no length leaves the total unknown until the end.
    counters_.totalKB = Clamp32(fetched.bytes >> 10);
    counters_.receivedKB = counters_.totalKB;
    counters_.perMille = 1000;

    EnterPhase(Phase::Installing);
    job::Result installed = InstallArchive(archive, InstallDirectory(), CancelFlag());
    if (Cancelled()) {
        return CancelledResult();
    }
    if (!installed.Ok()) {
        return installed;
    }
    Emit(ToolInstalled{tool_});
    if (startProgram_) {
        EnterPhase(Phase::Starting);
        Emit(ProgramStart{RunInstalledTool(ToolProgramPath(programDir_, tool_.id, tool_.exeName))});
    }
    EnterPhase(Phase::Done);
    return job::Result::Done();
}

}  // namespace install

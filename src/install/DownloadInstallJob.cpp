#include "install/DownloadInstallJob.h"

#include <algorithm>
#include <filesystem>

#include "catalog/FileSystem.h"
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
      titleLine_("正在下载：   " + tool_.title),
      diskReserve_(kDiskReserve) {}

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

DownloadResult DownloadInstallJob::Download() {
    EnterPhase(Phase::Downloading);
    HttpDownload download(tool_.url, ArchivePath());
    download.SetResumable(true);
    download.SetCancelFlag(CancelFlag());
    download.SetStallTimeout(stall_);
    download.SetRetries(retries_);
    download.SetRetryPause(retryPause_);
    // What already arrived of a resumed archive is part of the file, not of the free room.
    std::error_code ec;
    std::uint64_t partial = std::filesystem::file_size(
        catalog::NativePath(HttpDownload::PartialPath(ArchivePath())), ec);
    const std::uint64_t room = RoomOnDisk(programDir_ + "ToolDownload", diskReserve_);
    download.SetSizeLimit(room + std::min(ec ? 0 : partial, UINT64_MAX - room));
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
        // The speed counts only what this download fetched, not what an earlier one left.
        const std::uint64_t fetched = p.received - std::min(p.received, p.resumedFrom);
        counters_.speedKBps = elapsed <= 0 ? 0 : Clamp32((fetched >> 10) / elapsed);
        counters_.retries = p.attempt;
        Progress(counters_);
    });
    DownloadResult fetched = download.Run();
    counters_.retries = fetched.retriesUsed;
    counters_.speedKBps = 0;
    if (fetched.Ok()) {
        // A server that sent no length leaves the total unknown until the end.
        counters_.totalKB = Clamp32(fetched.bytes >> 10);
        counters_.receivedKB = counters_.totalKB;
        counters_.perMille = 1000;
    }
    return fetched;
}

job::Result DownloadInstallJob::CheckSignature() {
    if (!trust_) {
        trust_ = TrustPolicy::ForProgram(programDir_);
    }
    return trust_->CheckDownload(tool_.url, ArchivePath(), CancelFlag()).Status();
}

job::Result DownloadInstallJob::Run() {
    std::error_code ec;
    const std::string downloads = programDir_ + "ToolDownload";
    if (!CreateDirectoryPath(downloads, &ec)) {
        EnterPhase(Phase::Downloading);
        return job::Result::CannotWrite("cannot create the directory", downloads, ec);
    }
    const std::string archive = ArchivePath();
    for (bool mayFetchAgain = true;; mayFetchAgain = false) {
        DownloadResult fetched = Download();
        if (Cancelled()) {
            return CancelledResult();
        }
        if (!fetched.Ok()) {
            Progress(counters_);
            return fetched.result;
        }

        EnterPhase(Phase::Installing);
        // The signature is checked before the first entry is extracted: a refused archive
        // leaves nothing of itself in the tool's folder, even when the process is killed.
        job::Result installed = CheckSignature();
        if (installed.Ok()) {
            installed = InstallArchive(archive, InstallDirectory(), CancelFlag(), diskReserve_);
        }
        if (Cancelled()) {
            return CancelledResult();
        }
        if (installed.Is(job::Code::BadData) || installed.Is(job::Code::Untrusted)) {
            // A damaged or refused archive is of no use to a later try either. One that was
            // pieced together with what an earlier download left may mix two versions of the
            // file on the server: that one is fetched whole once more.
            RemoveToolArchive(programDir_, tool_.id);
            if (mayFetchAgain && fetched.resumedFrom > 0) {
                counters_ = DownloadCounters{};
                continue;
            }
        }
        if (!installed.Ok()) {
            return installed;
        }
        break;
    }
    // The tool is in place; its archive would only take up room.
    RemoveToolArchive(programDir_, tool_.id);
    Emit(ToolInstalled{tool_});
    if (startProgram_) {
        EnterPhase(Phase::Starting);
        Emit(ProgramStart{RunInstalledTool(ToolProgramPath(programDir_, tool_.id, tool_.exeName))});
    }
    EnterPhase(Phase::Done);
    return job::Result::Done();
}

}  // namespace install

#include "install/DownloadInstallTask.h"

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

DownloadInstallTask::DownloadInstallTask(std::string programDir, catalog::ToolRecord tool,
                                         Listener* listener)
    : programDir_(platform::WithTrailingSeparator(std::move(programDir))),
      tool_(std::move(tool)),
      titleLine_("正在下载：   " + tool_.title),
      listener_(listener) {}

DownloadInstallTask::~DownloadInstallTask() {
    Cancel();
    Wait();
}

std::string DownloadInstallTask::ArchivePath() const {
    return ToolArchivePath(programDir_, tool_.id);
}

std::string DownloadInstallTask::InstallDirectory() const {
    return ToolInstallDirectory(programDir_, tool_.id);
}

void DownloadInstallTask::Start() {
    std::lock_guard lock(threadMutex_);
    if (started_.exchange(true)) {
        return;
    }
    running_.store(true);
    thread_ = std::thread([this] { Run(); });
}

void DownloadInstallTask::Cancel() {
    cancel_.store(true);
}

void DownloadInstallTask::Wait() {
    std::lock_guard lock(threadMutex_);
    if (thread_.joinable()) {
        thread_.join();
    }
}

DownloadCounters DownloadInstallTask::Counters() const {
    DownloadCounters c;
    c.perMille = perMille_.load();
    c.totalKB = totalKB_.load();
    c.receivedKB = receivedKB_.load();
    c.speedKBps = speedKBps_.load();
    c.retries = retriesSeen_.load();
    c.phase = static_cast<Phase>(phase_.load());
    return c;
}

InstallTaskResult DownloadInstallTask::Run() {
    running_.store(true);
    InstallTaskResult result = Work();
    phase_.store(static_cast<int>(Phase::Done));
    Finish(result);
    return result;
}

void DownloadInstallTask::Finish(const InstallTaskResult& result) {
    if (listener_ != nullptr) {
        listener_->OnFinished(result);
    }
    running_.store(false);
}

InstallTaskResult DownloadInstallTask::Work() {
    InstallTaskResult result;
    auto cancelled = [this, &result] {
        result.status = InstallTaskResult::Status::Cancelled;
        result.reason = "cancelled";
        return result;
    };
    if (cancel_.load()) {
        return cancelled();
    }
    phase_.store(static_cast<int>(Phase::Downloading));
    const std::string archive = ArchivePath();
    CreateDirectoryPath(programDir_ + "ToolDownload");

    HttpDownload download(tool_.url, archive);
    download.SetCancelFlag(&cancel_);
    download.SetStallTimeout(stall_);
    download.SetRetries(retries_);
    download.SetRetryPause(retryPause_);
    const auto start = std::chrono::steady_clock::now();
    download.SetProgressCallback([this, start](const DownloadProgress& p) {
        totalKB_.store(Clamp32(p.total >> 10));
        receivedKB_.store(Clamp32(p.received >> 10));
        perMille_.store(
            p.total == 0 ? 0
                         : Clamp32(std::min<std::uint64_t>(p.received, p.total) * 1000 / p.total));
        auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
        speedKBps_.store(elapsed <= 0 ? 0 : Clamp32((p.received >> 10) / elapsed));
        retriesSeen_.store(p.attempt);
    });
    DownloadResult fetched = download.Run();
    retriesSeen_.store(fetched.retriesUsed);
    if (fetched.status == DownloadStatus::Cancelled || cancel_.load()) {
        return cancelled();
    }
    if (!fetched.Ok()) {
        result.status = InstallTaskResult::Status::DownloadFailed;
        result.reason = fetched.reason;
        return result;
    }
    // A server that sent no length leaves the total unknown until the end.
    totalKB_.store(Clamp32(fetched.bytes >> 10));
    receivedKB_.store(Clamp32(fetched.bytes >> 10));
    perMille_.store(1000);

    phase_.store(static_cast<int>(Phase::Installing));
    InstallResult installed = InstallArchive(archive, InstallDirectory(), &cancel_);
    if (cancel_.load()) {
        return cancelled();
    }
    if (!installed.ok) {
        result.status = InstallTaskResult::Status::InstallFailed;
        result.reason = installed.reason;
        return result;
    }
    result.status = InstallTaskResult::Status::Installed;
    if (listener_ != nullptr) {
        listener_->OnInstalled(tool_);
    }
    if (startProgram_) {
        phase_.store(static_cast<int>(Phase::Starting));
        result.started = RunInstalledTool(ToolProgramPath(programDir_, tool_.id, tool_.exeName));
        if (listener_ != nullptr) {
            listener_->OnStartResult(result.started);
        }
    }
    return result;
}

}  // namespace install

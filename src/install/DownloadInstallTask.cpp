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
    // The listener hears the result; the thread has nobody else to give it to.
    thread_ = std::thread([this] { static_cast<void>(Run()); });
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

job::Result DownloadInstallTask::Run() {
    running_.store(true);
    job::Result result = Work();
    if (result.Ok()) {
        phase_.store(static_cast<int>(Phase::Done));
    }
    Finish(result);
    return result;
}

void DownloadInstallTask::Finish(const job::Result& result) {
    if (listener_ != nullptr) {
        listener_->OnFinished(result);
    }
    running_.store(false);
}

job::Result DownloadInstallTask::Work() {
    auto cancelled = [] { return job::Result::Failed(job::Code::Cancelled, "cancelled"); };
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
    if (fetched.result.Is(job::Code::Cancelled) || cancel_.load()) {
        return cancelled();
    }
    if (!fetched.Ok()) {
        return fetched.result;
    }
    // A server that sent no length leaves the total unknown until the end.
    totalKB_.store(Clamp32(fetched.bytes >> 10));
    receivedKB_.store(Clamp32(fetched.bytes >> 10));
    perMille_.store(1000);

    phase_.store(static_cast<int>(Phase::Installing));
    job::Result installed = InstallArchive(archive, InstallDirectory(), &cancel_);
    if (cancel_.load()) {
        return cancelled();
    }
    if (!installed.Ok()) {
        return installed;
    }
    if (listener_ != nullptr) {
        listener_->OnInstalled(tool_);
    }
    if (startProgram_) {
        phase_.store(static_cast<int>(Phase::Starting));
        const bool started =
            RunInstalledTool(ToolProgramPath(programDir_, tool_.id, tool_.exeName));
        if (listener_ != nullptr) {
            listener_->OnStartResult(started);
        }
    }
    return job::Result::Done();
}

}  // namespace install

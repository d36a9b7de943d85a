#include "server/StartupWorker.h"

#include "server/CatalogSync.h"
#include "server/Reports.h"
#include "server/VersionCheck.h"

namespace server {

StartupWorker::StartupWorker(ClientConfig config, std::string programDir, StartupListener& listener,
                             UserPrompt& prompt, StartupPauses pauses, ClientIdentity identity)
    : client_(std::move(config), std::move(identity)),
      programDir_(std::move(programDir)),
      listener_(listener),
      prompt_(prompt),
      pauses_(pauses) {
    client_.SetCancelFlag(&cancel_);
}

StartupWorker::~StartupWorker() {
    Cancel();
    Wait();
}

void StartupWorker::Start() {
    thread_ = std::thread([this] { Run(); });
}

void StartupWorker::Cancel() {
    {
        std::lock_guard lock(mutex_);
        cancel_ = true;
    }
    wake_.notify_all();
}

void StartupWorker::Wait() {
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool StartupWorker::Pause(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, pause, [this] { return cancel_.load(); });
}

void StartupWorker::Run() {
    if (!Cancelled() && SendStartReport(client_, programDir_).Ok()) {
        listener_.ServerReached();
    }
    if (!Pause(pauses_.afterStartReport)) {
        finished_ = true;
        return;
    }
    VersionCheckResult version =
        CheckVersion(client_, programDir_, VersionCheckMode::Automatic, prompt_);
    if (version.action == VersionAction::UpdaterStarted) {
        listener_.UpdaterStarted();
        finished_ = true;
        return;
    }
    if (!Pause(pauses_.afterVersionCheck)) {
        finished_ = true;
        return;
    }
    SyncRun sync = SyncCatalogs(
        client_, programDir_, [this](bool busyBox) { listener_.SyncBusy(busyBox); }, &cancel_);
    if (sync.cancelled) {
        // The window may have entered the busy state; give it back.
        if (sync.changes.busy) {
            listener_.SyncUnchanged();
        }
    } else if (sync.changes.Empty()) {
        listener_.SyncUnchanged();
    } else {
        listener_.SyncChangesReady(std::move(sync.changes));
    }
    finished_ = true;
}

}  // namespace server

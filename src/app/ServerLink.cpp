#include "app/ServerLink.h"

#include "catalog/Catalog.h"
#include "job/Log.h"
#include "server/ServerClient.h"
#include "server/SyncApply.h"

namespace app {

ServerLink::ServerLink(server::ClientConfig config, std::string programDir,
                       catalog::Catalog& catalog, QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      programDir_(std::move(programDir)),
      catalog_(catalog),
      prompt_() {
    timer_.setInterval(kRestartIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ServerLink::Tick);
}

ServerLink::~ServerLink() {
    timer_.stop();
    // A worker may wait for an answer from the user; it gets "Cancel" now.
    prompt_.Shutdown();
    checkCancel_ = true;
    for (auto& worker : workers_) {
        worker->Cancel();
    }
    workers_.clear();
    if (checkThread_.joinable()) {
        checkThread_.join();
    }
}

void ServerLink::StartWorker() {
    PruneFinishedWorkers();
    auto worker = std::make_unique<server::StartupWorker>(
        config_, programDir_, static_cast<server::StartupListener&>(*this), prompt_);
    worker->Start();
    workers_.push_back(std::move(worker));
    ++workersStarted_;
}

void ServerLink::StartTimer() {
    timer_.start();
}

void ServerLink::Tick() {
    // A worker that stalls longer than the interval is not waited for: the next one runs
    // beside it with its own connections.
    if (!serverReached_.load()) {
        StartWorker();
    }
}

void ServerLink::PruneFinishedWorkers() {
    std::erase_if(workers_, [](const auto& w) { return w->Finished(); });
}

void ServerLink::ServerReached() {
    serverReached_ = true;
}

void ServerLink::SyncBusy(bool busyBox) {
    QMetaObject::invokeMethod(
        this, [this, busyBox] { emit syncBusy(busyBox); }, Qt::QueuedConnection);
}

void ServerLink::SyncChangesReady(server::SyncChanges changes) {
    QMetaObject::invokeMethod(
        this, [this, changes = std::move(changes)] { ApplyChanges(changes); },
        Qt::QueuedConnection);
}

void ServerLink::SyncUnchanged() {
    QMetaObject::invokeMethod(
        this, [this] { emit syncUnchanged(); }, Qt::QueuedConnection);
}

void ServerLink::UpdaterStarted() {
    QMetaObject::invokeMethod(
        this, [this] { emit updaterStarted(); }, Qt::QueuedConnection);
}

void ServerLink::ApplyChanges(const server::SyncChanges& changes) {
    // A file that could not be saved keeps its old contents; the rebuild shows what the
    // files hold, and the stamps were not advanced, so the next sync brings it again.
    job::Log::Failure("applying the catalog changes",
                      server::ApplySyncChanges(catalog_, changes).ToResult());
    emit syncApplied();
}

void ServerLink::CheckForUpdates() {
    if (CheckingForUpdates()) {
        return;
    }
    if (checkThread_.joinable()) {
        checkThread_.join();
    }
    checkCancel_ = false;
    checkDone_ = false;
    emit updateCheckStarted();
    checkThread_ = std::thread([this] {
        server::ServerClient client(config_);
        client.SetCancelFlag(&checkCancel_);
        const server::VersionCheckResult result =
            server::CheckVersion(client, programDir_, server::VersionCheckMode::Manual, prompt_);
        checkDone_ = true;
        QMetaObject::invokeMethod(
            this, [this, result] { FinishUpdateCheck(result); }, Qt::QueuedConnection);
    });
}

void ServerLink::FinishUpdateCheck(const server::VersionCheckResult& result) {
    job::Log::Failure("the version check", result.result);
    emit updateCheckFinished();
    if (result.action == server::VersionAction::UpdaterStarted) {
        emit updaterStarted();
    }
}

}  // namespace app

#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/UiPrompt.h"
#include "server/ClientConfig.h"
#include "server/StartupListener.h"
#include "server/StartupWorker.h"
#include "server/VersionCheck.h"

namespace catalog {
class Catalog;
}

namespace app {

// The window's side of the data server: the start-up workers (the first at start-up, one
// more every 20 seconds until the server has answered a start report), the changes they
// find, applied to the catalog on the UI thread, and the version check the user asks for.
// Workers report from their own threads; everything they say reaches this object as a
// queued call, and only then touches the catalog or any window.
class ServerLink : public QObject, private server::StartupListener {
    Q_OBJECT
  public:
    static constexpr int kRestartIntervalMs = 20000;

    ServerLink(server::ClientConfig config, std::string programDir, catalog::Catalog& catalog,
               QObject* parent = nullptr);
    // Cancels every worker and the version check, and waits for their threads.
    ~ServerLink() override;

    // Starts one more start-up worker.
    void StartWorker();
    // Starts the 20-second timer.
    void StartTimer();
    // What the timer does: a new worker while the server has not answered.
    void Tick();
    bool HasReachedServer() const { return serverReached_.load(); }
    // How many workers were started so far.
    int WorkersStarted() const { return workersStarted_; }
    QTimer& Timer() { return timer_; }

    // The version check asked for by the user ("检查更新"), on a thread of its own; one at
    // a time. updateCheckFinished comes when it is over.
    void CheckForUpdates();
    bool CheckingForUpdates() const { return checkThread_.joinable() && !checkDone_.load(); }

  signals:
    // The catalogs are about to change; with `busyBox` the busy box is wanted.
    void syncBusy(bool busyBox);
    // The changes were applied to the catalog: reload and rebuild.
    void syncApplied();
    // The synchronisation changed nothing: end the busy state.
    void syncUnchanged();
    // The updater has started: the program ends.
    void updaterStarted();
    void updateCheckStarted();
    void updateCheckFinished();

  private:
    // server::StartupListener, called on worker threads.
    void ServerReached() override;
    void SyncBusy(bool busyBox) override;
    void SyncChangesReady(server::SyncChanges changes) override;
    void SyncUnchanged() override;
    void UpdaterStarted() override;

    void ApplyChanges(const server::SyncChanges& changes);
    void FinishUpdateCheck(const server::VersionCheckResult& result);
    void PruneFinishedWorkers();

    server::ClientConfig config_;
    std::string programDir_;
    catalog::Catalog& catalog_;
    UiPrompt prompt_;
    QTimer timer_;
    std::atomic<bool> serverReached_{false};
    std::vector<std::unique_ptr<server::StartupWorker>> workers_;
    int workersStarted_ = 0;
    std::thread checkThread_;
    std::atomic<bool> checkCancel_{false};
    std::atomic<bool> checkDone_{false};
};

}  // namespace app

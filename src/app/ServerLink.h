#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <string>
#include <vector>

#include "server/CatalogChange.h"
#include "server/ClientConfig.h"
#include "server/VersionCheck.h"

namespace catalog {
class Catalog;
}

namespace app {

class JobRunner;
class RunningJob;

// What the window knows of its catalogs, so that an empty grid can say why it is empty.
enum class CatalogState {
    Connecting,   // nothing answered yet
    Fetching,     // the server answered; the catalog query has not been answered yet
    Retrying,     // the server did not answer; another start-up job follows
    Unavailable,  // the server answered the start report but not the catalog query
    Current,      // the catalog query was answered: an empty list is really empty
};

// The window's side of the data server: the start-up jobs (the first at start-up, one more
// every 20 seconds until the server has answered a start report), the changes they find,
// applied to the catalog on the UI thread, and the version check the user asks for. The jobs
// run on the runner's threads; their events reach this object on the UI thread, and only
// then touch the catalog or any window. An accepted update is fetched by whichever job found
// it; its progress comes out as updateFetchProgress.
class ServerLink : public QObject {
    Q_OBJECT
  public:
    static constexpr int kRestartIntervalMs = 20000;

    ServerLink(server::ClientConfig config, std::string programDir, server::UpdateRoute route,
               catalog::Catalog& catalog, JobRunner& jobs, QObject* parent = nullptr);
    // Cancels its start-up jobs and the version check; the runner ends their threads.
    ~ServerLink() override;

    // Starts one more start-up job.
    void StartWorker();
    // Starts the 20-second timer.
    void StartTimer();
    // What the timer does: a new job while the server has not answered.
    void Tick();
    bool HasReachedServer() const { return serverReached_; }
    CatalogState State() const { return state_; }
    // How many start-up jobs were started so far.
    int WorkersStarted() const { return workersStarted_; }
    QTimer& Timer() { return timer_; }

    // The version check asked for by the user ("检查更新"), as a job; one at a time.
    // updateCheckFinished comes when it is over.
    void CheckForUpdates();
    bool CheckingForUpdates() const { return !check_.isNull(); }

  signals:
    // The catalogs are about to change; with `busyBox` the busy box is wanted.
    void syncBusy(bool busyBox);
    // The changes were applied to the catalog: reload and rebuild.
    void syncApplied();
    // The synchronisation changed nothing: end the busy state.
    void syncUnchanged();
    // An accepted update is being fetched: per mille, -1 while the size is unknown.
    void updateFetchProgress(int perMille);
    // The fetch is over (the updater starts next, or the check goes on).
    void updateFetchEnded();
    // The updater has started: the program ends.
    void updaterStarted();
    void updateCheckStarted();
    void updateCheckFinished();
    void catalogStateChanged(app::CatalogState state);

  private:
    void ApplyChanges(const server::SyncChanges& changes);
    void SetState(CatalogState state);
    // Passes on the fetch progress of a start-up job or the version check.
    void FollowUpdateFetch(RunningJob* job);

    server::ClientConfig config_;
    std::string programDir_;
    server::UpdateRoute route_;
    catalog::Catalog& catalog_;
    JobRunner& jobs_;
    QTimer timer_;
    bool serverReached_ = false;
    CatalogState state_ = CatalogState::Connecting;
    std::vector<QPointer<RunningJob>> workers_;
    int workersStarted_ = 0;
    QPointer<RunningJob> check_;
    bool updaterFromCheck_ = false;
};

}  // namespace app

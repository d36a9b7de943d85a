#include "app/ServerLink.h"

#include "app/JobRunner.h"
#include "catalog/Catalog.h"
#include "job/Log.h"
#include "server/StartupJob.h"
#include "server/SyncApply.h"
#include "server/VersionCheckJob.h"

namespace app {

ServerLink::ServerLink(server::ClientConfig config, std::string programDir,
                       server::UpdateRoute route, catalog::Catalog& catalog, JobRunner& jobs,
                       QObject* parent)
    : QObject(parent),
      config_(std::move(config)),
      programDir_(std::move(programDir)),
      route_(route),
      catalog_(catalog),
      jobs_(jobs) {
    timer_.setInterval(kRestartIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &ServerLink::Tick);
}

ServerLink::~ServerLink() {
    timer_.stop();
    for (const QPointer<RunningJob>& worker : workers_) {
        if (worker) {
            worker->Cancel();
        }
    }
    if (check_) {
        check_->Cancel();
    }
}

void ServerLink::StartWorker() {
    std::erase_if(workers_, [](const QPointer<RunningJob>& w) { return w.isNull(); });
    auto job = std::make_unique<server::StartupJob>(config_, programDir_, jobs_);
    job->SetUpdateRoute(route_);
    RunningJob* worker = jobs_.Start(std::move(job), "start-up");
    if (worker == nullptr) {
        return;
    }
    FollowUpdateFetch(worker);
    worker->On<server::ServerReached>(this, [this](const auto&) {
        serverReached_ = true;
        if (state_ != CatalogState::Current) {
            SetState(CatalogState::Fetching);
        }
    });
    worker->On<server::ServerUnreachable>(this, [this](const auto&) {
        if (state_ != CatalogState::Current) {
            SetState(serverReached_ ? CatalogState::Unavailable : CatalogState::Retrying);
        }
    });
    worker->On<server::CatalogAnswered>(this,
                                        [this](const auto&) { SetState(CatalogState::Current); });
    worker->On<server::SyncBusy>(this, [this](const auto& e) { emit syncBusy(e.busyBox); });
    worker->On<server::SyncReady>(this, [this](const auto& e) { ApplyChanges(e.changes); });
    worker->On<server::SyncUnchanged>(this, [this](const auto&) { emit syncUnchanged(); });
    worker->On<server::UpdaterStarted>(this, [this](const auto&) { emit updaterStarted(); });
    workers_.push_back(worker);
    ++workersStarted_;
}

void ServerLink::StartTimer() {
    timer_.start();
}

void ServerLink::Tick() {
    // A job that stalls longer than the interval is not waited for: the next one runs
    // beside it with its own connections.
    if (!serverReached_) {
        StartWorker();
    }
}

void ServerLink::SetState(CatalogState state) {
    if (state != state_) {
        state_ = state;
        emit catalogStateChanged(state);
    }
}

void ServerLink::FollowUpdateFetch(RunningJob* job) {
    job->OnProgress<server::UpdateFetchProgress>(this, [this](const auto& p) {
        if (p.done) {
            emit updateFetchEnded();
        } else {
            emit updateFetchProgress(p.perMille);
        }
    });
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
    auto job = std::make_unique<server::VersionCheckJob>(config_, programDir_, jobs_);
    job->SetUpdateRoute(route_);
    check_ = jobs_.Start(std::move(job), "version check");
    if (check_.isNull()) {
        return;
    }
    emit updateCheckStarted();
    FollowUpdateFetch(check_);
    check_->On<server::UpdaterStarted>(this, [this](const auto&) { updaterFromCheck_ = true; });
    // The wait ends first; then, if the updater runs, the program.
    connect(check_, &RunningJob::finished, this, [this] {
        check_ = nullptr;
        emit updateCheckFinished();
        if (updaterFromCheck_) {
            updaterFromCheck_ = false;
            emit updaterStarted();
        }
    });
}

}  // namespace app

#pragma once

#include <chrono>
#include <string>

#include "job/SequenceJob.h"
#include "server/CatalogChange.h"
#include "server/ClientConfig.h"
#include "server/ServerClient.h"
#include "server/UserPrompt.h"
#include "server/VersionCheck.h"

namespace server {

// The pauses between the steps of the start-up sequence.
struct StartupPauses {
    std::chrono::milliseconds afterStartReport{1000};
    std::chrono::milliseconds afterVersionCheck{2000};
};

// The events of the start-up job, in the order they can come. The window applies the
// changes on its own thread; the job never touches the catalog files.
struct ServerReached {};      // the start report was answered: no further start-up jobs needed
struct ServerUnreachable {};  // the start report or the catalog query went unanswered
struct CatalogAnswered {};    // the catalog query was answered: the catalogs are current
struct SyncBusy {             // the catalogs are about to change: take the window's input and,
    bool busyBox = false;     // with busyBox, show the busy box. May come twice.
};
struct SyncReady {  // apply these with ApplySyncChanges, reload, rebuild, end the busy state
    SyncChanges changes;
};
struct SyncUnchanged {};   // nothing to apply: end the busy state if it had begun
struct UpdaterStarted {};  // the updater runs: end the program

// What the launcher does with the data server at start-up, in this order:
//   1. the start report (ServerReached when it is answered),
//   2. a pause,
//   3. the automatic version check, which may ask the user, fetch the new version (progress:
//      UpdateFetchProgress) and start the updater (then UpdaterStarted, and the sequence
//      ends),
//   4. a pause,
//   5. the catalog synchronisation (SyncBusy, then SyncReady or SyncUnchanged).
// The window starts a new job every 20 s while the server has not answered; each job has its
// own client and so its own sockets. Cancel ends it at the next step, pause or network wait.
class StartupJob : public job::SequenceJob {
  public:
    StartupJob(ClientConfig config, std::string programDir, UserPrompt& prompt,
               StartupPauses pauses = {}, ClientIdentity identity = PlatformIdentity());

    // How an update reaches this launcher; Updater unless set before Start.
    void SetUpdateRoute(UpdateRoute route) { route_ = route; }

  private:
    Next ReportStart();
    Next CheckForUpdate();
    Next SynchroniseCatalogs();

    ServerClient client_;
    std::string programDir_;
    UserPrompt& prompt_;
    bool reached_ = false;  // the start report was answered
    UpdateRoute route_ = UpdateRoute::Updater;
};

}  // namespace server

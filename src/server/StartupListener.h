#pragma once

#include "server/CatalogChange.h"

namespace server {

// What the start-up worker tells the window. Every call comes from the worker's thread; the
// window forwards it to its own thread (a queued call) and never blocks the worker for long.
class StartupListener {
  public:
    virtual ~StartupListener() = default;

    // The data server answered the start report: no further workers are needed.
    virtual void ServerReached() = 0;
    // The catalogs are about to change: take the window's input (wait cursor) and, with
    // `busyBox`, show the busy box. May come twice, the second time with `busyBox` set.
    virtual void SyncBusy(bool busyBox) = 0;
    // The changes to apply on the window's thread with ApplySyncChanges; then reload the
    // catalogs, rebuild the views and end the busy state.
    virtual void SyncChangesReady(SyncChanges changes) = 0;
    // The synchronisation changed nothing: end the busy state if it had begun.
    virtual void SyncUnchanged() = 0;
    // The updater has been started: end the program.
    virtual void UpdaterStarted() = 0;
};

}  // namespace server

#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "server/StartupListener.h"

// Keeps what a start-up worker told, in order, as the window would; the calls come from the
// worker's thread.
class RecordingStartupListener : public server::StartupListener {
  public:
    void ServerReached() override { Add("reached"); }
    void SyncBusy(bool busyBox) override { Add(busyBox ? "busy+box" : "busy"); }
    void SyncChangesReady(server::SyncChanges changes) override {
        std::lock_guard lock(mutex_);
        events_.push_back("changes");
        changes_ = std::move(changes);
    }
    void SyncUnchanged() override { Add("unchanged"); }
    void UpdaterStarted() override { Add("updater"); }

    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    server::SyncChanges Changes() {
        std::lock_guard lock(mutex_);
        return changes_;
    }

  private:
    void Add(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
    server::SyncChanges changes_;
};

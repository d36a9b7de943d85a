#pragma once

#include <any>
#include <mutex>
#include <string>
#include <vector>

#include "job/Listener.h"
#include "server/StartupJob.h"

// Keeps what a start-up job told, in order, as the window would; the calls come from the
// job's thread.
class RecordingStartupListener : public job::Listener {
  public:
    void OnEvent(const std::any& event) override {
        std::lock_guard lock(mutex_);
        if (std::any_cast<server::ServerReached>(&event) != nullptr) {
            events_.push_back("reached");
        } else if (std::any_cast<server::ServerUnreachable>(&event) != nullptr) {
            events_.push_back("unreachable");
        } else if (std::any_cast<server::CatalogAnswered>(&event) != nullptr) {
            events_.push_back("answered");
        } else if (const auto* busy = std::any_cast<server::SyncBusy>(&event)) {
            events_.push_back(busy->busyBox ? "busy+box" : "busy");
        } else if (const auto* ready = std::any_cast<server::SyncReady>(&event)) {
            events_.push_back("changes");
            changes_ = ready->changes;
        } else if (std::any_cast<server::SyncUnchanged>(&event) != nullptr) {
            events_.push_back("unchanged");
        } else if (std::any_cast<server::UpdaterStarted>(&event) != nullptr) {
            events_.push_back("updater");
        } else {
            events_.push_back("unknown event");
        }
    }
    void OnFinished(const job::Result& result) override {
        std::lock_guard lock(mutex_);
        ++finished_;
        result_ = result;
    }

    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    server::SyncChanges Changes() {
        std::lock_guard lock(mutex_);
        return changes_;
    }
    int Finished() {
        std::lock_guard lock(mutex_);
        return finished_;
    }
    job::Result Result() {
        std::lock_guard lock(mutex_);
        return result_;
    }

  private:
    std::mutex mutex_;
    std::vector<std::string> events_;
    server::SyncChanges changes_;
    int finished_ = 0;
    job::Result result_;
};

#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "server/ClientConfig.h"
#include "server/ServerClient.h"
#include "server/StartupJob.h"
#include "server/StartupListener.h"
#include "server/UserPrompt.h"

namespace server {

// The sequence the window runs at start-up on a thread of its own: the start report, a pause,
// the automatic version check, a pause, the catalog synchronisation. The window starts a new
// worker every 20 s while the server has not answered; each worker has its own client and so
// its own sockets. Cancel() ends the sequence at the next step or network wait; the
// destructor cancels and waits for the thread.
class StartupWorker {
  public:
    StartupWorker(ClientConfig config, std::string programDir, StartupListener& listener,
                  UserPrompt& prompt, StartupPauses pauses = {},
                  ClientIdentity identity = PlatformIdentity());
    ~StartupWorker();
    StartupWorker(const StartupWorker&) = delete;
    StartupWorker& operator=(const StartupWorker&) = delete;

    // Runs the sequence on a new thread. Call once.
    void Start();
    // Runs the sequence on the calling thread.
    void Run();
    void Cancel();
    // Waits until the thread has ended.
    void Wait();
    bool Finished() const { return finished_.load(); }

  private:
    // Sleeps for `pause` unless cancelled first; false when cancelled.
    bool Pause(std::chrono::milliseconds pause);
    bool Cancelled() const { return cancel_.load(); }

    ServerClient client_;
    std::string programDir_;
    StartupListener& listener_;
    UserPrompt& prompt_;
    StartupPauses pauses_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

}  // namespace server

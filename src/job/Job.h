#pragma once

#include <any>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "job/Listener.h"
#include "job/Result.h"

namespace job {

// A piece of long work (network, disk) that runs on a thread somebody else owns: a runner
// calls Start on the thread it gives the job, a command-line tool on its own thread. The job
// tells its listener about progress and events while it works and ends with exactly one
// finished call carrying its Result.
//
// Cancellation is cooperative: Cancel() sets a flag that the work checks between steps and
// that sockets and downloads poll while they wait, and wakes every Pause and WaitUntil at
// once. Nothing is ever killed.
class Job {
  public:
    Job() = default;
    virtual ~Job() = default;
    Job(const Job&) = delete;
    Job& operator=(const Job&) = delete;

    // Runs the job on the calling thread and returns its result, which `listener` (may be
    // null; must outlive the call) also gets as its last call. A job cancelled before it
    // starts does not run and ends Cancelled. Call once.
    Result Start(Listener* listener);

    // Asks the job to stop. Any thread, any time, also before Start and after the end.
    void Cancel();
    bool Cancelled() const { return cancel_.load(); }
    // The flag itself, for code that polls it while it waits (sockets, downloads).
    const std::atomic<bool>* CancelFlag() const { return &cancel_; }

    // Blocks the job's thread until `done()` holds or the job is cancelled; true when done.
    // Whoever makes `done()` true calls Wake() afterwards.
    bool WaitUntil(const std::function<bool()>& done);
    void Wake();

    // The result of a job that stopped because it was asked to.
    static Result CancelledResult() { return Result::Failed(Code::Cancelled, "cancelled"); }

  protected:
    // The work itself, on the job's thread.
    virtual Result Run() = 0;

    // Waits for `pause` unless cancelled first; false when cancelled.
    bool Pause(std::chrono::milliseconds pause);
    void Progress(const std::any& progress);
    void Emit(const std::any& event);

  private:
    std::atomic<bool> cancel_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    Listener* listener_ = nullptr;
};

}  // namespace job

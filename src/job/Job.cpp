#include "job/Job.h"

namespace job {

Result Job::Start(Listener* listener) {
    listener_ = listener;
    Result result = Cancelled() ? CancelledResult() : Run();
    if (listener_ != nullptr) {
        listener_->OnFinished(result);
    }
    return result;
}

void Job::Cancel() {
    {
        // Under the lock, so a waiter between its check and its sleep cannot miss it.
        std::lock_guard lock(mutex_);
        cancel_.store(true);
    }
    wake_.notify_all();
}

void Job::Wake() {
    { std::lock_guard lock(mutex_); }
    wake_.notify_all();
}

bool Job::WaitUntil(const std::function<bool()>& done) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [&] { return cancel_.load() || done(); });
    return !cancel_.load() || done();
}

bool Job::Pause(std::chrono::milliseconds pause) {
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, pause, [this] { return cancel_.load(); });
}

void Job::Progress(const std::any& progress) {
    if (listener_ != nullptr) {
        listener_->OnProgress(progress);
    }
}

void Job::Emit(const std::any& event) {
    if (listener_ != nullptr) {
        listener_->OnEvent(event);
    }
}

}  // namespace job

#include "app/JobRunner.h"

#include <QThread>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace app {
namespace {

using Clock = std::chrono::steady_clock;

// The job whose thread this is, so a question knows which job to block and to wake.
thread_local std::shared_ptr<job::Job> currentJob;

}  // namespace

// The listener of one job. It runs on the job's thread and hands everything over to the
// RunningJob on the UI thread. Progress is coalesced: only the newest value waits, at most
// one hop for it is on the way, and it goes out at most every kProgressInterval, or with the
// next event or the end, whichever comes first.
class JobRunner::Bridge : public job::Listener, public std::enable_shared_from_this<Bridge> {
  public:
    explicit Bridge(RunningJob* target) : target_(target) {}

    void OnProgress(const std::any& progress) override {
        std::lock_guard lock(mutex_);
        pending_ = progress;
        if (hopQueued_ || target_ == nullptr) {
            return;
        }
        hopQueued_ = true;
        QMetaObject::invokeMethod(
            target_, [self = shared_from_this()] { self->DeliverProgress(); },
            Qt::QueuedConnection);
    }

    void OnEvent(const std::any& event) override {
        HopAfterPending([event](RunningJob* target) { target->Deliver(event, false); });
    }

    void OnFinished(const job::Result& result) override {
        HopAfterPending([result](RunningJob* target) { target->Finish(result); });
    }

    // UI thread: the RunningJob is about to go while the job may still run.
    void Detach() {
        std::lock_guard lock(mutex_);
        target_ = nullptr;
    }

  private:
    // Job's thread: one queued call that first hands over the progress still waiting, so
    // the newest figure always comes before the event or the end that follows it.
    template <typename Deliver>
    void HopAfterPending(Deliver deliver) {
        std::lock_guard lock(mutex_);
        if (target_ == nullptr) {
            return;
        }
        QMetaObject::invokeMethod(
            target_,
            [self = shared_from_this(), progress = TakePending(), deliver] {
                if (self->target_ != nullptr) {
                    self->DeliverPending(progress);
                    deliver(self->target_);
                }
            },
            Qt::QueuedConnection);
    }

    std::optional<std::any> TakePending() {
        std::optional<std::any> progress = std::move(pending_);
        pending_.reset();
        return progress;
    }

    // UI thread.
    void DeliverProgress() {
        if (target_ == nullptr) {
            return;
        }
        const auto wait = lastProgress_ + kProgressInterval - Clock::now();
        if (wait > Clock::duration::zero()) {
            QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(wait), target_,
                               [self = shared_from_this()] { self->DeliverProgress(); });
            return;
        }
        std::optional<std::any> progress;
        {
            std::lock_guard lock(mutex_);
            progress = TakePending();
            hopQueued_ = false;
        }
        DeliverPending(progress);
    }

    // UI thread.
    void DeliverPending(const std::optional<std::any>& progress) {
        if (progress) {
            lastProgress_ = Clock::now();
            target_->Deliver(*progress, true);
        }
    }

    std::mutex mutex_;
    RunningJob* target_;  // changed on the UI thread under the mutex; read by the job's thread
    std::optional<std::any> pending_;
    bool hopQueued_ = false;
    Clock::time_point lastProgress_{};  // UI thread only
};

// Shared with the threads, so a thread left behind at the end still has it.
struct JobRunner::ExitState {
    std::mutex mutex;
    std::condition_variable ended;
};

struct JobRunner::Slot {
    std::shared_ptr<job::Job> job;
    std::shared_ptr<Bridge> bridge;
    std::shared_ptr<std::atomic<bool>> done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread;
};

JobRunner::JobRunner(QObject* parent) : QObject(parent), exit_(std::make_shared<ExitState>()) {}

JobRunner::~JobRunner() {
    Shutdown();
}

RunningJob* JobRunner::Start(std::unique_ptr<job::Job> job, std::string name) {
    if (shutDown_ || !job) {
        return nullptr;
    }
    JoinEnded();
    auto slot = std::make_unique<Slot>();
    slot->job = std::move(job);
    auto* running = new RunningJob(std::move(name), slot->job, this);
    slot->bridge = std::make_shared<Bridge>(running);
    slot->thread =
        std::thread([job = slot->job, bridge = slot->bridge, done = slot->done, exit = exit_] {
            currentJob = job;
            static_cast<void>(job->Start(bridge.get()));
            currentJob.reset();
            {
                std::lock_guard lock(exit->mutex);
                done->store(true);
            }
            exit->ended.notify_all();
        });
    slots_.push_back(std::move(slot));
    return running;
}

std::function<void(std::unique_ptr<job::Job>, std::string)> JobRunner::Starter() {
    return [this](std::unique_ptr<job::Job> job, std::string name) {
        Start(std::move(job), std::move(name));
    };
}

void JobRunner::JoinEnded() {
    std::erase_if(slots_, [](const std::unique_ptr<Slot>& slot) {
        if (!slot->done->load()) {
            return false;
        }
        slot->thread.join();
        return true;
    });
}

int JobRunner::Running() const {
    int running = 0;
    for (const auto& slot : slots_) {
        running += slot->done->load() ? 0 : 1;
    }
    return running;
}

void JobRunner::Shutdown() {
    if (shutDown_) {
        return;
    }
    shutDown_ = true;
    for (const auto& slot : slots_) {
        slot->job->Cancel();
    }
    const auto deadline = Clock::now() + kExitWait;
    for (const auto& slot : slots_) {
        std::unique_lock lock(exit_->mutex);
        if (exit_->ended.wait_until(lock, deadline, [&] { return slot->done->load(); })) {
            lock.unlock();
            slot->thread.join();
        } else {
            lock.unlock();
            // Still busy in something that does not look at its cancel flag: leave it. Its
            // job, listener and state are shared with the thread, which reports nothing more.
            slot->bridge->Detach();
            slot->thread.detach();
        }
    }
    slots_.clear();
}

int JobRunner::AskOnUiThread(std::function<int()> ask, int unanswered) {
    if (QThread::currentThread() == thread()) {
        return ask();
    }
    std::shared_ptr<job::Job> job = currentJob;
    if (!job) {
        // Not a job of ours: nothing could cancel the wait, so the hop blocks plainly.
        int answer = unanswered;
        QMetaObject::invokeMethod(
            this, [&answer, &ask] { answer = ask(); }, Qt::BlockingQueuedConnection);
        return answer;
    }
    struct Answer {
        std::atomic<bool> given{false};
        std::atomic<int> value{0};
    };
    auto answer = std::make_shared<Answer>();
    QMetaObject::invokeMethod(
        this,
        [job, answer, ask = std::move(ask)] {
            // A question of a job cancelled meanwhile is not put any more.
            if (job->Cancelled()) {
                return;
            }
            answer->value = ask();
            answer->given = true;
            job->Wake();
        },
        Qt::QueuedConnection);
    job->WaitUntil([&answer] { return answer->given.load(); });
    return answer->given.load() ? answer->value.load() : unanswered;
}

server::UpdateAnswer JobRunner::AskUpdate(const std::string& text) {
    return static_cast<server::UpdateAnswer>(
        AskOnUiThread([this, text] { return static_cast<int>(prompt_.AskUpdate(text)); },
                      static_cast<int>(server::UpdateAnswer::Later)));
}

void JobRunner::Tell(const std::string& text) {
    AskOnUiThread(
        [this, text] {
            prompt_.Tell(text);
            return 0;
        },
        0);
}

}  // namespace app

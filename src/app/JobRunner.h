#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RunningJob.h"
#include "app/UiPrompt.h"
#include "job/Job.h"
#include "server/UserPrompt.h"

namespace app {

// The one place where the front end's long work meets threads. Each job runs on a thread of
// its own, owned here; everything the job says crosses to the UI thread as one queued call
// per event (progress throttled to what the eye needs), and arrives as the signals of its
// RunningJob. A failed result is logged. A job's question to the user (this runner is the
// server::UserPrompt the jobs are given) is one queued call too: the message box shows on
// the UI thread while the job waits, and a cancel ends the wait with "以后再说".
//
// Shutdown (also the destructor) cancels every job and waits for them at most kExitWait;
// a job that does not stop by then is left behind, its thread detached, and reports nothing
// any more.
class JobRunner : public QObject, public server::UserPrompt {
    Q_OBJECT
  public:
    static constexpr std::chrono::milliseconds kProgressInterval{100};
    static constexpr std::chrono::milliseconds kExitWait{3000};

    explicit JobRunner(QObject* parent = nullptr);
    ~JobRunner() override;

    // Starts `job` on a new thread; `name` says in the log whose failure it was. The
    // returned object lives until its finished signal has been emitted; connect to it right
    // away (nothing arrives before control returns to the event loop). After Shutdown the
    // job is not started and nothing is returned.
    RunningJob* Start(std::unique_ptr<job::Job> job, std::string name);
    // Start as a function, for code that only hands jobs over (the feedback form).
    std::function<void(std::unique_ptr<job::Job>, std::string)> Starter();
    void Shutdown();
    // Jobs whose threads have not ended yet.
    int Running() const;

    // server::UserPrompt for the jobs, called on their threads.
    server::UpdateAnswer AskUpdate(const std::string& text) override;
    void Tell(const std::string& text) override;

  private:
    class Bridge;
    struct Slot;
    struct ExitState;

    // Runs `ask` on the UI thread and gives its answer to the calling job; `unanswered`
    // when the job was cancelled first.
    int AskOnUiThread(std::function<int()> ask, int unanswered);
    void JoinEnded();

    UiPrompt prompt_;
    std::vector<std::unique_ptr<Slot>> slots_;
    std::shared_ptr<ExitState> exit_;
    bool shutDown_ = false;
};

}  // namespace app

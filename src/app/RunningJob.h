#pragma once

#include <QObject>
#include <any>
#include <chrono>
#include <memory>
#include <string>

#include "job/Job.h"
#include "job/Result.h"

namespace app {

// A job started by the JobRunner, as the UI thread sees it: its progress, events and end
// arrive here as signals on the UI thread, in the order the job made them (progress at most
// every JobRunner::kProgressInterval, the latest value always delivered before the next event
// and before finished). It goes away (deleteLater) after finished.
class RunningJob : public QObject {
    Q_OBJECT
  public:
    RunningJob(std::string name, std::shared_ptr<job::Job> job, QObject* parent);

    const std::string& Name() const { return name_; }
    // Asks the job to stop; finished still comes, usually with Cancelled.
    void Cancel();
    bool IsFinished() const { return finished_; }

    // Calls `fn` with every event of type Event, in the context of `receiver`.
    template <class Event, class Fn>
    void On(QObject* receiver, Fn fn) {
        connect(this, &RunningJob::event, receiver, [fn](const std::any& event) {
            if (const Event* typed = std::any_cast<Event>(&event)) {
                fn(*typed);
            }
        });
    }
    // Calls `fn` with every progress value of type Progress.
    template <class Progress, class Fn>
    void OnProgress(QObject* receiver, Fn fn) {
        connect(this, &RunningJob::progress, receiver, [fn](const std::any& progress) {
            if (const Progress* typed = std::any_cast<Progress>(&progress)) {
                fn(*typed);
            }
        });
    }

    // The runner's side: what arrived for the job on the UI thread.
    void Deliver(const std::any& value, bool isProgress);
    void Finish(const job::Result& result);

  signals:
    void progress(const std::any& value);
    void event(const std::any& value);
    void finished(const job::Result& result);

  private:
    std::string name_;
    std::shared_ptr<job::Job> job_;
    std::chrono::steady_clock::time_point started_;
    bool finished_ = false;
};

}  // namespace app

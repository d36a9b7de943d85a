#include "app/RunningJob.h"

#include "job/Log.h"

namespace app {

RunningJob::RunningJob(std::string name, std::shared_ptr<job::Job> job, QObject* parent)
    : QObject(parent),
      name_(std::move(name)),
      job_(std::move(job)),
      started_(std::chrono::steady_clock::now()) {
    job::Log::Write(job::Log::Level::Info, name_ + ": started");
}

void RunningJob::Cancel() {
    job_->Cancel();
}

void RunningJob::Deliver(const std::any& value, bool isProgress) {
    if (finished_) {
        return;
    }
    if (isProgress) {
        emit progress(value);
    } else {
        emit event(value);
    }
}

void RunningJob::Finish(const job::Result& result) {
    if (finished_) {
        return;
    }
    finished_ = true;
    if (result.Ok()) {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - started_)
                            .count();
        job::Log::Write(job::Log::Level::Info, name_ + ": done in " + std::to_string(ms) + " ms");
    } else {
        job::Log::Failure(name_, result);
    }
    emit finished(result);
    deleteLater();
}

}  // namespace app

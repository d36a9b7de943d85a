#include <gtest/gtest.h>

#include <algorithm>
#include <any>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "job/Job.h"
#include "job/SequenceJob.h"

namespace {

using namespace std::chrono_literals;

// Keeps what a job told, in order, from the job's thread.
class Recorder : public job::Listener {
  public:
    void OnProgress(const std::any& progress) override {
        Add("progress " + std::to_string(std::any_cast<int>(progress)));
    }
    void OnEvent(const std::any& event) override { Add(std::any_cast<std::string>(event)); }
    void OnFinished(const job::Result& result) override {
        Add(std::string("finished ") + job::CodeName(result.code));
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    // Blocks until `line` was told.
    void WaitFor(const std::string& line) {
        std::unique_lock lock(mutex_);
        told_.wait(lock,
                   [&] { return std::find(lines_.begin(), lines_.end(), line) != lines_.end(); });
    }

  private:
    void Add(std::string line) {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(std::move(line));
        }
        told_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable told_;
    std::vector<std::string> lines_;
};

// The steps and pauses of a sequence come from the test.
class ScriptedSequence : public job::SequenceJob {
  public:
    ScriptedSequence& Step(const std::string& name, Next next = Next::Continue) {
        AddStep([this, name, next] {
            Emit(name);
            return next;
        });
        return *this;
    }
    ScriptedSequence& Wait(std::chrono::milliseconds pause) {
        AddPause(pause);
        return *this;
    }
};

TEST(SequenceJobTest, CancelDuringAPauseEndsPromptlyAsCancelled) {
    ScriptedSequence sequence;
    // The pause is far longer than any test may run: only the cancel can end it.
    sequence.Step("report").Wait(24h).Step("check");
    Recorder recorder;
    std::thread worker([&] { EXPECT_TRUE(sequence.Start(&recorder).Is(job::Code::Cancelled)); });
    recorder.WaitFor("report");
    sequence.Cancel();
    worker.join();
    EXPECT_EQ(recorder.Lines(), (std::vector<std::string>{"report", "finished cancelled"}));
}

TEST(SequenceJobTest, StepsRunInOrderUntilOneSaysStop) {
    const struct {
        const char* name;
        job::SequenceJob::Next afterFirst;
        std::vector<std::string> lines;
    } cases[] = {
        {"all run", job::SequenceJob::Next::Continue, {"first", "second", "finished ok"}},
        {"stopped", job::SequenceJob::Next::Stop, {"first", "finished ok"}},
    };
    for (const auto& c : cases) {
        ScriptedSequence sequence;
        sequence.Step("first", c.afterFirst).Wait(0ms).Step("second");
        Recorder recorder;
        EXPECT_TRUE(sequence.Start(&recorder).Ok()) << c.name;
        EXPECT_EQ(recorder.Lines(), c.lines) << c.name;
    }
}

// A job that reports progress and events around a wait that the test releases.
class TalkingJob : public job::Job {
  public:
    void Release() {
        released_ = true;
        Wake();
    }

  private:
    job::Result Run() override {
        Progress(1);
        Emit(std::string("started"));
        Progress(2);
        if (!WaitUntil([this] { return released_.load(); })) {
            return CancelledResult();
        }
        Progress(3);
        return job::Result::Done();
    }
    std::atomic<bool> released_{false};
};

TEST(JobTest, ProgressAndEventsComeInOrderAndFinishedOnceLast) {
    const struct {
        const char* name;
        bool cancel;
        std::vector<std::string> lines;
    } cases[] = {
        {"released", false, {"progress 1", "started", "progress 2", "progress 3", "finished ok"}},
        {"cancelled while waiting",
         true,
         {"progress 1", "started", "progress 2", "finished cancelled"}},
    };
    for (const auto& c : cases) {
        TalkingJob job;
        Recorder recorder;
        std::thread worker([&] { static_cast<void>(job.Start(&recorder)); });
        recorder.WaitFor("progress 2");
        if (c.cancel) {
            job.Cancel();
        } else {
            job.Release();
        }
        worker.join();
        // Cancelling after the end changes nothing and tells nothing.
        job.Cancel();
        EXPECT_EQ(recorder.Lines(), c.lines) << c.name;
    }
}

TEST(JobTest, AJobCancelledBeforeItStartsDoesNotRun) {
    TalkingJob job;
    job.Cancel();
    Recorder recorder;
    EXPECT_TRUE(job.Start(&recorder).Is(job::Code::Cancelled));
    EXPECT_EQ(recorder.Lines(), std::vector<std::string>{"finished cancelled"});
}

}  // namespace

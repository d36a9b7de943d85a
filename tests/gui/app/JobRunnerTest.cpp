#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <any>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "DialogTestSupport.h"
#include "app/JobRunner.h"
#include "platform/Sockets.h"
#include "server/ServerClient.h"
#include "server/Socket.h"
#include "server/VersionCheck.h"

namespace {

using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;

// Progress 1 to 50 with an event after every tenth, then the end.
class CountingJob : public job::Job {
    job::Result Run() override {
        for (int i = 1; i <= 50; ++i) {
            Progress(i);
            if (i % 10 == 0) {
                Emit(std::string("tenth ") + std::to_string(i));
            }
        }
        return job::Result::Failed(job::Code::BadData, "counted to the end");
    }
};

TEST(JobRunnerTest, EventsArriveOnTheUiThreadInOrderAndFinishedOnceLast) {
    app::JobRunner runner;
    app::RunningJob* running = runner.Start(std::make_unique<CountingJob>(), "counting");
    ASSERT_NE(running, nullptr);
    std::vector<std::string> seen;
    bool offThread = false;
    int lastProgress = 0;
    bool progressOutOfOrder = false;
    auto note = [&](std::string what) {
        offThread = offThread || QThread::currentThread() != qApp->thread();
        seen.push_back(std::move(what));
    };
    QObject::connect(running, &app::RunningJob::progress, [&](const std::any& value) {
        const int count = std::any_cast<int>(value);
        progressOutOfOrder = progressOutOfOrder || count <= lastProgress;
        lastProgress = count;
        offThread = offThread || QThread::currentThread() != qApp->thread();
    });
    QObject::connect(running, &app::RunningJob::event, [&](const std::any& value) {
        // Every progress made before an event is shown before it.
        note(std::any_cast<std::string>(value) + " after " + std::to_string(lastProgress));
    });
    job::Result result;
    QObject::connect(running, &app::RunningJob::finished, [&](const job::Result& r) {
        note("finished after " + std::to_string(lastProgress));
        result = r;
    });
    ASSERT_TRUE(WaitFor([&] { return !seen.empty() && seen.back().rfind("finished", 0) == 0; }));
    // Anything late would come with the next round of the event loop.
    QCoreApplication::processEvents();
    EXPECT_FALSE(offThread);
    EXPECT_FALSE(progressOutOfOrder);
    EXPECT_EQ(seen, (std::vector<std::string>{"tenth 10 after 10", "tenth 20 after 20",
                                              "tenth 30 after 30", "tenth 40 after 40",
                                              "tenth 50 after 50", "finished after 50"}));
    EXPECT_EQ(result.code, job::Code::BadData);
}

// A job stuck in a network wait: a server that takes the connection and never answers, with
// time-outs far longer than any test.
class SilentServerJob : public job::Job {
  public:
    SilentServerJob(int port, std::shared_ptr<std::atomic<bool>> ended)
        : client_(Config(port)), ended_(std::move(ended)) {
        client_.SetCancelFlag(CancelFlag());
    }

  private:
    static server::ClientConfig Config(int port) {
        server::ClientConfig config;
        config.port = port;
        config.connectTimeout = std::chrono::hours(1);
        config.receiveTimeout = std::chrono::hours(1);
        return config;
    }
    job::Result Run() override {
        const server::Reply reply = client_.Exchange(server::Message::VersionCheck, {"0", "0"});
        ended_->store(true);
        return reply.Answered() ? job::Result::Done() : CancelledResult();
    }
    server::ServerClient client_;
    std::shared_ptr<std::atomic<bool>> ended_;
};

TEST(JobRunnerTest, ShutdownCancelsAJobBlockedOnTheNetwork) {
    ASSERT_TRUE(platform::InitSocketLibrary());
    server::Socket listener;
    ASSERT_TRUE(listener.Listen("127.0.0.1", 0));
    auto ended = std::make_shared<std::atomic<bool>>(false);
    auto runner = std::make_unique<app::JobRunner>();
    app::RunningJob* running =
        runner->Start(std::make_unique<SilentServerJob>(listener.LocalPort(), ended), "silent");
    ASSERT_NE(running, nullptr);
    // The job is connected and waits for a reply that never comes.
    server::Socket peer = listener.Accept(std::chrono::seconds(30));
    ASSERT_TRUE(peer.IsOpen());
    EXPECT_EQ(runner->Running(), 1);
    runner->Shutdown();
    // The job's wait was ended by the cancel, not left behind.
    EXPECT_TRUE(ended->load());
    EXPECT_EQ(runner->Running(), 0);
    EXPECT_EQ(runner->Start(std::make_unique<SilentServerJob>(1, ended), "late"), nullptr);
}

int Answer(server::UpdateAnswer answer) {
    return static_cast<int>(answer);
}

const QMessageBox::StandardButtons kUpdateButtons =
    QMessageBox::Ok | QMessageBox::Ignore | QMessageBox::Cancel;

// Asks one question through the runner, as the start-up job asks about an update.
class AskingJob : public job::Job {
  public:
    AskingJob(server::UserPrompt& prompt, bool confirm, std::shared_ptr<std::atomic<int>> answer)
        : prompt_(prompt), confirm_(confirm), answer_(std::move(answer)) {}

    // Set just before the question is put.
    static inline std::atomic<bool> asking{false};

  private:
    job::Result Run() override {
        asking = true;
        if (confirm_) {
            answer_->store(static_cast<int>(prompt_.AskUpdate(server::kAskUpdateText)));
        } else {
            prompt_.Tell(server::kUpToDateText);
            answer_->store(1);
        }
        return job::Result::Done();
    }
    server::UserPrompt& prompt_;
    bool confirm_;
    std::shared_ptr<std::atomic<int>> answer_;
};

TEST(JobRunnerTest, AJobsQuestionIsAskedOnTheUiThreadAndWaitsForTheAnswer) {
    const struct {
        const char* name;
        bool confirm;
        QMessageBox::StandardButton button;
        int answer;
        const char* text;
        QMessageBox::StandardButtons buttons;
    } cases[] = {
        {"ask, update", true, QMessageBox::Ok, Answer(server::UpdateAnswer::Update),
         server::kAskUpdateText, kUpdateButtons},
        {"ask, skip", true, QMessageBox::Ignore, Answer(server::UpdateAnswer::SkipRelease),
         server::kAskUpdateText, kUpdateButtons},
        {"ask, later", true, QMessageBox::Cancel, Answer(server::UpdateAnswer::Later),
         server::kAskUpdateText, kUpdateButtons},
        {"tell", false, QMessageBox::Ok, 1, server::kUpToDateText, QMessageBox::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        app::JobRunner runner;
        MessageBoxAnswerer boxes(c.button);
        auto answer = std::make_shared<std::atomic<int>>(-1);
        bool finished = false;
        app::RunningJob* running =
            runner.Start(std::make_unique<AskingJob>(runner, c.confirm, answer), "asking");
        QObject::connect(running, &app::RunningJob::finished, [&] { finished = true; });
        ASSERT_TRUE(WaitFor([&] { return finished; }));
        EXPECT_EQ(answer->load(), c.answer);
        ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
        EXPECT_EQ(boxes.SeenBoxes()[0].text, QString::fromUtf8(c.text));
        EXPECT_EQ(boxes.SeenBoxes()[0].title, QStringLiteral("Ravik游戏桌面"));
        EXPECT_EQ(boxes.SeenBoxes()[0].buttons, c.buttons);
    }
}

TEST(JobRunnerTest, AtShutdownAJobWaitingForAnAnswerGetsLater) {
    auto answer = std::make_shared<std::atomic<int>>(-1);
    {
        app::JobRunner runner;
        // Nobody answers: the UI thread does not run its loop while the job asks.
        AskingJob::asking = false;
        runner.Start(std::make_unique<AskingJob>(runner, true, answer), "asking");
        while (!AskingJob::asking.load()) {
            QThread::yieldCurrentThread();
        }
        runner.Shutdown();
        EXPECT_EQ(answer->load(), Answer(server::UpdateAnswer::Later));
        // The question that was on its way is not put any more.
        MessageBoxAnswerer boxes(QMessageBox::Ok);
        QCoreApplication::processEvents();
        EXPECT_TRUE(boxes.SeenBoxes().empty());
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "FakeDataServer.h"
#include "MarkerProgram.h"
#include "RecordingStartupListener.h"
#include "SyncFixture.h"
#include "server/StartupJob.h"
#include "server/VersionCheck.h"

namespace {

using namespace std::chrono_literals;

// Says 以后再说 to every question and keeps what it was told.
class SilentPrompt : public server::UserPrompt {
  public:
    server::UpdateAnswer AskUpdate(const std::string&) override {
        return server::UpdateAnswer::Later;
    }
    void Tell(const std::string& text) override { told.push_back(text); }
    std::vector<std::string> told;
};

constexpr server::StartupPauses kNoPauses{0ms, 0ms};

class StartupJobTest : public SyncFixture {
  protected:
    // A data server that answers every message the way a server with one new game does.
    static FakeDataServer::Script Answers(std::string catalogReply, std::string versionFlag = "0") {
        return [catalogReply, versionFlag](server::Socket& s, const std::string& request) {
            switch (CodeOf(request)) {
                case '2':
                    s.SendAll(ReplyBytes({"1"}), 1s);
                    break;
                case '1':
                    s.SendAll(ReplyBytes({versionFlag, "9", "9.0", "x"}), 1s);
                    break;
                case '3':
                    s.SendAll(catalogReply + std::string(1, '\0'), 1s);
                    break;
                case '9':
                    s.SendAll(ReplyBytes({"0"}), 1s);
                    break;
            }
        };
    }
    std::vector<char> Codes(const FakeDataServer& fake) {
        std::vector<char> codes;
        for (const auto& request : fake.Requests()) {
            codes.push_back(CodeOf(request));
        }
        return codes;
    }
};

TEST_F(StartupJobTest, RunsTheSequenceAndHandsOverTheChanges) {
    FakeDataServer fake(Answers(Reply({Game("5", "five", "", "50")})));
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Finished(), 1);
    EXPECT_EQ(Codes(fake), (std::vector<char>{'2', '1', '3', '9'}));
    EXPECT_EQ(listener.Events(),
              (std::vector<std::string>{"reached", "busy+box", "answered", "changes"}));
    server::SyncChanges changes = listener.Changes();
    EXPECT_EQ(changes.records, 1);
    // The job wrote nothing to the catalog; the window applies the changes.
    EXPECT_TRUE(GameIds().empty());
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), std::vector<uint32_t>{5});
}

TEST_F(StartupJobTest, NothingChangedGivesTheWindowBack) {
    FakeDataServer fake(Answers(Reply({{}})));
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(), (std::vector<std::string>{"reached", "answered", "unchanged"}));
}

TEST_F(StartupJobTest, RemovalsAloneAskForTheBusyStateOnly) {
    FakeDataServer fake(Answers(Reply({Removal("8053", "10201", "", "9")})));
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(),
              (std::vector<std::string>{"reached", "busy", "answered", "changes"}));
}

TEST_F(StartupJobTest, UnreachableServerIsNotReached) {
    const server::ClientConfig config = UnreachableConfig();
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(config, dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(), (std::vector<std::string>{"unreachable", "unchanged"}));
}

TEST_F(StartupJobTest, AnUnansweredCatalogQueryIsToldAfterTheServerWasReached) {
    FakeDataServer fake(Answers(""));  // the catalog query gets no reply bytes
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(), (std::vector<std::string>{"reached", "unreachable", "unchanged"}));
}

TEST_F(StartupJobTest, StartedUpdaterEndsTheSequence) {
    catalog::WriteProfileKey(dir / "usercfg.dat", "system", "autoupdate", "1");
    // An updater that starts: a program that marks the program directory it is given.
    std::filesystem::copy_file(markerprogram::Path(), dir.PathOf(server::kUpdaterName));
    FakeDataServer fake(Answers(Reply({{}}), "1"));
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(listener.Events(), (std::vector<std::string>{"reached", "updater"}));
    EXPECT_EQ(Codes(fake), (std::vector<char>{'2', '1'}));
    // The updater marks the program directory it was given.
    EXPECT_TRUE(Eventually([&] { return dir.Read("started") == dir.dir() + "\n"; }))
        << dir.Read("started");
}

TEST_F(StartupJobTest, AnInstalledLauncherIsToldAboutTheUpdateAndSynchronisesOn) {
    catalog::WriteProfileKey(dir / "usercfg.dat", "system", "autoupdate", "1");
    std::filesystem::copy_file(markerprogram::Path(), dir.PathOf(server::kUpdaterName));
    FakeDataServer fake(Answers(Reply({{}}), "1"));
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(fake.Config(), dir.dir(), prompt, kNoPauses);
    job.SetUpdateRoute(server::UpdateRoute::PackageManager);
    EXPECT_TRUE(job.Start(&listener).Ok());
    EXPECT_EQ(prompt.told, std::vector<std::string>{server::PackageUpdateText("9.0")});
    EXPECT_EQ(listener.Events(), (std::vector<std::string>{"reached", "answered", "unchanged"}));
    EXPECT_EQ(Codes(fake), (std::vector<char>{'2', '1', '3', '9'}));
    EXPECT_FALSE(std::filesystem::exists(dir / "update.ini"));
}

TEST_F(StartupJobTest, CancelEndsAJobWaitingOnASilentServer) {
    FakeDataServer silent(nullptr);
    RecordingStartupListener listener;
    SilentPrompt prompt;
    server::StartupJob job(silent.Config(std::chrono::hours(1)), dir.dir(), prompt,
                           {std::chrono::hours(1), std::chrono::hours(1)});
    std::thread worker([&] { static_cast<void>(job.Start(&listener)); });
    ASSERT_TRUE(Eventually([&] { return !silent.Requests().empty(); }));
    job.Cancel();
    worker.join();
    EXPECT_EQ(listener.Finished(), 1);
    EXPECT_EQ(listener.Result().code, job::Code::Cancelled);
    EXPECT_TRUE(listener.Events().empty());
}

TEST_F(StartupJobTest, OverlappingJobsEachFinish) {
    FakeDataServer fake(Answers(Reply({Game("5", "five", "", "50")})));
    RecordingStartupListener first;
    RecordingStartupListener second;
    SilentPrompt prompt;
    server::StartupJob a(fake.Config(), dir.dir(), prompt, kNoPauses);
    server::StartupJob b(fake.Config(), dir.dir(), prompt, kNoPauses);
    std::thread threadA([&] { static_cast<void>(a.Start(&first)); });
    std::thread threadB([&] { static_cast<void>(b.Start(&second)); });
    threadA.join();
    threadB.join();
    for (auto* listener : {&first, &second}) {
        EXPECT_EQ(listener->Events(),
                  (std::vector<std::string>{"reached", "busy+box", "answered", "changes"}));
    }
    EXPECT_EQ(fake.Requests().size(), 8u);
}

}  // namespace

#include <gtest/gtest.h>

#include <any>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>

#include "FileHttpServer.h"
#include "MarkerProgram.h"
#include "RawHttpServer.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "install/DownloadInstallJob.h"

using install::DownloadCounters;
using install::DownloadInstallJob;
namespace fs = std::filesystem;

namespace {

// Records the job's events in the order they came, and its progress as the window would
// see it: the latest counters.
class EventLog : public job::Listener {
  public:
    void OnProgress(const std::any& progress) override {
        std::lock_guard lock(mutex_);
        const auto& counters = std::any_cast<const DownloadCounters&>(progress);
        if (counters.phase != last_.phase) {
            events_.push_back("phase " + std::to_string(static_cast<int>(counters.phase)));
        }
        last_ = counters;
        progressSeen_.notify_all();
    }
    void OnEvent(const std::any& event) override {
        if (const auto* installed = std::any_cast<install::ToolInstalled>(&event)) {
            Add("installed " + std::to_string(installed->tool.id));
        } else if (const auto* start = std::any_cast<install::ProgramStart>(&event)) {
            Add(start->started ? "started" : "not started");
        }
    }
    void OnFinished(const job::Result& result) override {
        Add("finished");
        std::lock_guard lock(mutex_);
        result_ = result;
    }
    // The events without the phase changes.
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        std::vector<std::string> events;
        for (const std::string& e : events_) {
            if (e.rfind("phase ", 0) != 0) {
                events.push_back(e);
            }
        }
        return events;
    }
    std::vector<std::string> Everything() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    job::Result Result() {
        std::lock_guard lock(mutex_);
        return result_;
    }
    DownloadCounters Counters() {
        std::lock_guard lock(mutex_);
        return last_;
    }
    // Blocks until the counters satisfy `enough`.
    DownloadCounters WaitForCounters(const std::function<bool(const DownloadCounters&)>& enough) {
        std::unique_lock lock(mutex_);
        progressSeen_.wait(lock, [&] { return enough(last_); });
        return last_;
    }

  private:
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::mutex mutex_;
    std::condition_variable progressSeen_;
    std::vector<std::string> events_;
    job::Result result_;
    DownloadCounters last_;
};

catalog::ToolRecord Tool(std::uint32_t id, std::string url,
                         std::string exe = markerprogram::FileName("run")) {
    catalog::ToolRecord tool;
    tool.id = id;
    tool.title = "测试工具";
    tool.url = std::move(url);
    tool.exeName = std::move(exe);
    tool.type = catalog::kTypeProgram;
    return tool;
}

// A tool archive whose program writes "started" into its working directory.
std::string ToolArchive(std::size_t padding = 0) {
    std::string filler(padding, '\0');
    for (std::size_t i = 0; i < filler.size(); ++i) {
        filler[i] = static_cast<char>((i * 2654435761u) >> 13);
    }
    return ziptest::Build(
        {ziptest::Dir("Tool/"),
         ziptest::Program("Tool/" + markerprogram::FileName("run"), markerprogram::Bytes()),
         ziptest::File("Tool/data.bin", filler, 0)});
}

bool AppearsSoon(const fs::path& path) {
    for (int i = 0; i < 200 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

TEST(DownloadInstallJob, InstallsStartsAndReportsInOrder) {
    FileHttpServer server;
    const std::string archive = ToolArchive(300000);
    server.Put("/tools/42.zip", archive);
    TempDir program;
    EventLog log;
    DownloadInstallJob job(program.dir(), Tool(42, server.Url("/tools/42.zip")));
    EXPECT_EQ(job.TitleLine(), "正在下载：   测试工具");
    std::thread worker([&] { static_cast<void>(job.Start(&log)); });
    worker.join();
    // Each phase shows before what happens in it, and the end comes last.
    EXPECT_EQ(log.Everything(),
              (std::vector<std::string>{"phase 1", "phase 2", "installed 42", "phase 3", "started",
                                        "phase 4", "finished"}));
    EXPECT_TRUE(log.Result().Ok());
    EXPECT_EQ(program.Read("ToolDownload/42.zip"), archive);
    EXPECT_TRUE(AppearsSoon(program.PathOf("LocalGameTool/42/started")));
    EXPECT_EQ(program.Read("LocalGameTool/42/started"), program / "LocalGameTool/42" + "\n");

    DownloadCounters counters = log.Counters();
    EXPECT_EQ(counters.perMille, 1000u);
    EXPECT_EQ(counters.totalKB, archive.size() >> 10);
    EXPECT_EQ(counters.receivedKB, counters.totalKB);
    EXPECT_EQ(counters.retries, 0);
    EXPECT_EQ(counters.phase, DownloadCounters::Phase::Done);
}

TEST(DownloadInstallJob, FailuresEndWithoutInstalling) {
    FileHttpServer server;
    auto damaged = ziptest::File("Tool/" + markerprogram::FileName("run"), "program");
    damaged.crc = 1;
    server.Put("/damaged.zip", ziptest::Build({damaged}));
    server.Put("/page.zip", "<html>sorry</html>");
    server.Put("/hostile.zip", ziptest::Build({ziptest::File("Tool/../../evil", "x")}));
    struct Case {
        const char* what;
        std::string url;
        job::Code code;
        DownloadCounters::Phase failedIn;
    } cases[] = {
        {"not found", server.Url("/status/404"), job::Code::Network,
         DownloadCounters::Phase::Downloading},
        {"server error", server.Url("/status/500"), job::Code::Network,
         DownloadCounters::Phase::Downloading},
        {"no address", "", job::Code::BadData, DownloadCounters::Phase::Downloading},
        {"not an archive", server.Url("/page.zip"), job::Code::BadData,
         DownloadCounters::Phase::Installing},
        {"damaged entry", server.Url("/damaged.zip"), job::Code::BadData,
         DownloadCounters::Phase::Installing},
        {"hostile entry", server.Url("/hostile.zip"), job::Code::BadData,
         DownloadCounters::Phase::Installing},
    };
    for (const auto& c : cases) {
        TempDir program;
        EventLog log;
        DownloadInstallJob job(program.dir(), Tool(5, c.url));
        job::Result result = job.Start(&log);
        EXPECT_EQ(result.code, c.code) << c.what;
        EXPECT_EQ(log.Counters().phase, c.failedIn) << c.what;
        EXPECT_NE(result.reason, "") << c.what;
        EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"}) << c.what;
        EXPECT_FALSE(
            fs::exists(program.PathOf("LocalGameTool/5/" + markerprogram::FileName("run"))))
            << c.what;
        EXPECT_FALSE(fs::exists(program.path() / "evil")) << c.what;
    }
}

TEST(DownloadInstallJob, AProgramThatCannotStartStillCountsAsInstalled) {
    FileHttpServer server;
    server.Put("/a.zip", ToolArchive());
    TempDir program;
    EventLog log;
    DownloadInstallJob job(program.dir(), Tool(6, server.Url("/a.zip"), "missing.exe"));
    EXPECT_TRUE(job.Start(&log).Ok());
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"installed 6", "not started", "finished"}));
}

TEST(DownloadInstallJob, WithoutStartingOnlyInstalls) {
    FileHttpServer server;
    server.Put("/empty.zip", ziptest::Build({}));
    TempDir program;
    EventLog log;
    DownloadInstallJob job(program.dir(), Tool(8, server.Url("/empty.zip")));
    job.SetStartProgram(false);
    EXPECT_TRUE(job.Start(&log).Ok());
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"installed 8", "finished"}));
    // A 22-byte archive: the size in KB is 0, yet the download shows as complete.
    EXPECT_EQ(log.Counters().perMille, 1000u);
    EXPECT_EQ(log.Counters().totalKB, 0u);
}

TEST(DownloadInstallJob, CancelMidwayKeepsThePartialArchiveAndInstallsNothing) {
    const std::string archive = ToolArchive(500000);
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", static_cast<long long>(archive.size()));
        c.Send(archive.substr(0, archive.size() / 2));
        c.Stall();
    });
    TempDir program;
    EventLog log;
    DownloadInstallJob job(program.dir(), Tool(9, server.Url()));
    std::thread worker([&] { static_cast<void>(job.Start(&log)); });
    const DownloadCounters seen = log.WaitForCounters(
        [&](const DownloadCounters& c) { return c.receivedKB >= (archive.size() / 2) >> 10; });
    EXPECT_EQ(seen.totalKB, archive.size() >> 10);
    EXPECT_EQ(seen.perMille, (archive.size() / 2) * 1000 / archive.size());
    job.Cancel();
    worker.join();
    EXPECT_EQ(log.Result().code, job::Code::Cancelled);
    EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"});
    EXPECT_EQ(program.Read("ToolDownload/9.zip"), archive.substr(0, archive.size() / 2));
    EXPECT_FALSE(fs::exists(program.path() / "LocalGameTool/9"));
}

TEST(DownloadInstallJob, BrokenDownloadsRetryInTheSameJob) {
    const std::string archive = ToolArchive(100000);
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", static_cast<long long>(archive.size()));
        c.Send(c.Number() == 0 ? archive.substr(0, 1000) : archive);
    });
    TempDir program;
    EventLog log;
    DownloadInstallJob job(program.dir(), Tool(10, server.Url()));
    job.SetStartProgram(false);
    job.SetRetryPause(std::chrono::milliseconds(0));
    EXPECT_TRUE(job.Start(&log).Ok());
    EXPECT_EQ(log.Counters().retries, 1);
    EXPECT_EQ(program.Read("ToolDownload/10.zip"), archive);
}

}  // namespace

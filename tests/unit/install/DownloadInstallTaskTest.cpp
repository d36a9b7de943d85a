#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <thread>

#include "FileHttpServer.h"
#include "MarkerProgram.h"
#include "RawHttpServer.h"
#include "TempDir.h"
#include "ZipBuilder.h"
#include "install/DownloadInstallTask.h"

using install::DownloadCounters;
using install::DownloadInstallTask;
namespace fs = std::filesystem;

namespace {

// Records the task's events in the order they came.
class EventLog : public DownloadInstallTask::Listener {
  public:
    void OnInstalled(const catalog::ToolRecord& tool) override {
        Add("installed " + std::to_string(tool.id));
    }
    void OnStartResult(bool started) override { Add(started ? "started" : "not started"); }
    void OnFinished(const job::Result& result) override {
        Add("finished");
        std::lock_guard lock(mutex_);
        result_ = result;
    }
    std::vector<std::string> Events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    job::Result Result() {
        std::lock_guard lock(mutex_);
        return result_;
    }

  private:
    void Add(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
    }
    std::mutex mutex_;
    std::vector<std::string> events_;
    job::Result result_;
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

TEST(DownloadInstallTask, InstallsStartsAndReportsInOrder) {
    FileHttpServer server;
    const std::string archive = ToolArchive(300000);
    server.Put("/tools/42.zip", archive);
    TempDir program;
    EventLog log;
    DownloadInstallTask task(program.dir(), Tool(42, server.Url("/tools/42.zip")), &log);
    EXPECT_EQ(task.TitleLine(), "正在下载：   测试工具");
    task.Start();
    task.Wait();
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"installed 42", "started", "finished"}));
    EXPECT_TRUE(log.Result().Ok());
    EXPECT_FALSE(task.IsRunning());
    EXPECT_EQ(program.Read("ToolDownload/42.zip"), archive);
    EXPECT_TRUE(AppearsSoon(program.PathOf("LocalGameTool/42/started")));
    EXPECT_EQ(program.Read("LocalGameTool/42/started"), program / "LocalGameTool/42" + "\n");

    DownloadCounters counters = task.Counters();
    EXPECT_EQ(counters.perMille, 1000u);
    EXPECT_EQ(counters.totalKB, archive.size() >> 10);
    EXPECT_EQ(counters.receivedKB, counters.totalKB);
    EXPECT_EQ(counters.retries, 0);
    EXPECT_EQ(counters.phase, DownloadCounters::Phase::Done);
}

TEST(DownloadInstallTask, FailuresEndWithoutInstalling) {
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
        DownloadInstallTask task(program.dir(), Tool(5, c.url), &log);
        job::Result result = task.Run();
        EXPECT_EQ(result.code, c.code) << c.what;
        EXPECT_EQ(task.Counters().phase, c.failedIn) << c.what;
        EXPECT_NE(result.reason, "") << c.what;
        EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"}) << c.what;
        EXPECT_FALSE(
            fs::exists(program.PathOf("LocalGameTool/5/" + markerprogram::FileName("run"))))
            << c.what;
        EXPECT_FALSE(fs::exists(program.path() / "evil")) << c.what;
    }
}

TEST(DownloadInstallTask, AProgramThatCannotStartStillCountsAsInstalled) {
    FileHttpServer server;
    server.Put("/a.zip", ToolArchive());
    TempDir program;
    EventLog log;
    DownloadInstallTask task(program.dir(), Tool(6, server.Url("/a.zip"), "missing.exe"), &log);
    EXPECT_TRUE(task.Run().Ok());
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"installed 6", "not started", "finished"}));
}

TEST(DownloadInstallTask, WithoutStartingOnlyInstalls) {
    FileHttpServer server;
    server.Put("/empty.zip", ziptest::Build({}));
    TempDir program;
    EventLog log;
    DownloadInstallTask task(program.dir(), Tool(8, server.Url("/empty.zip")), &log);
    task.SetStartProgram(false);
    EXPECT_TRUE(task.Run().Ok());
    EXPECT_EQ(log.Events(), (std::vector<std::string>{"installed 8", "finished"}));
    // A 22-byte archive: the size in KB is 0, yet the download shows as complete.
    EXPECT_EQ(task.Counters().perMille, 1000u);
    EXPECT_EQ(task.Counters().totalKB, 0u);
}

TEST(DownloadInstallTask, CancelMidwayKeepsThePartialArchiveAndInstallsNothing) {
    const std::string archive = ToolArchive(500000);
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", static_cast<long long>(archive.size()));
        c.Send(archive.substr(0, archive.size() / 2));
        c.Stall();
    });
    TempDir program;
    EventLog log;
    DownloadInstallTask task(program.dir(), Tool(9, server.Url()), &log);
    task.Start();
    // The front end polls the counters from its own thread while the worker writes them.
    DownloadCounters seen;
    while ((seen = task.Counters()).receivedKB < (archive.size() / 2) >> 10) {
        EXPECT_LE(seen.perMille, 1000u);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(seen.totalKB, archive.size() >> 10);
    EXPECT_EQ(seen.perMille, (archive.size() / 2) * 1000 / archive.size());
    task.Cancel();
    task.Wait();
    EXPECT_EQ(log.Result().code, job::Code::Cancelled);
    EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"});
    EXPECT_EQ(program.Read("ToolDownload/9.zip"), archive.substr(0, archive.size() / 2));
    EXPECT_FALSE(fs::exists(program.path() / "LocalGameTool/9"));
}

TEST(DownloadInstallTask, BrokenDownloadsRetryInTheSameTask) {
    const std::string archive = ToolArchive(100000);
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", static_cast<long long>(archive.size()));
        c.Send(c.Number() == 0 ? archive.substr(0, 1000) : archive);
    });
    TempDir program;
    EventLog log;
    DownloadInstallTask task(program.dir(), Tool(10, server.Url()), &log);
    task.SetStartProgram(false);
    task.SetRetryPause(std::chrono::milliseconds(0));
    EXPECT_TRUE(task.Run().Ok());
    EXPECT_EQ(task.Counters().retries, 1);
    EXPECT_EQ(program.Read("ToolDownload/10.zip"), archive);
}

TEST(DownloadInstallTask, DestroyingARunningTaskCancelsAndWaits) {
    RawHttpServer server([](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", 100000);
        c.Send(std::string(100, 'x'));
        c.Stall();
    });
    TempDir program;
    EventLog log;
    {
        DownloadInstallTask task(program.dir(), Tool(11, server.Url()), &log);
        task.Start();
        while (task.Counters().phase != DownloadCounters::Phase::Downloading) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"});
    EXPECT_EQ(log.Result().code, job::Code::Cancelled);
}

}  // namespace

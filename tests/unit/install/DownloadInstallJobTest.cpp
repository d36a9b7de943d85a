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
    // The archive has served its purpose once the tool is in place.
    EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/42.zip")));
    EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/42.zip.part")));
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
        {"hostile entry", server.Url("/hostile.zip"), job::Code::Refused,
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
    EXPECT_EQ(program.Read("ToolDownload/9.zip.part"), archive.substr(0, archive.size() / 2));
    EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/9.zip")));
    EXPECT_FALSE(fs::exists(program.path() / "LocalGameTool/9"));
}

// The data of one version of a tool: every version has the same size.
std::string VersionData(std::size_t seed) {
    std::string data(300000, '\0');
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(((i + seed) * 2654435761u) >> 11);
    }
    return data;
}

// An archive of that data, stored as it is, so that two versions differ only in their bytes.
std::string VersionArchive(const std::string& data) {
    return ziptest::Build({ziptest::Dir("Tool/"), ziptest::File("Tool/data.bin", data, 0)});
}

TEST(DownloadInstallJob, TheNextJobTakesUpWhatACancelledOneLeft) {
    const std::string firstData = VersionData(1);
    const std::string secondData = VersionData(2);
    const std::string first = VersionArchive(firstData);
    const std::string second = VersionArchive(secondData);
    ASSERT_EQ(first.size(), second.size());
    const std::size_t half = first.size() / 2;
    enum class Answer { Rest, Whole, NotSatisfiable, RestOfANewerFile };
    struct Case {
        const char* what;
        Answer answer;  // to the range request of the second job
        std::vector<long long> ranges;
        const std::string& installed;
    } cases[] = {
        {"the server sends the rest", Answer::Rest, {-1, (long long)half}, firstData},
        {"the server ignores the range", Answer::Whole, {-1, (long long)half}, firstData},
        {"the server cannot give the part",
         Answer::NotSatisfiable,
         {-1, (long long)half, -1},
         firstData},
        // The file changed on the server in between: the pieced-together archive is damaged,
        // so the job fetches it whole once more.
        {"the file changed meanwhile",
         Answer::RestOfANewerFile,
         {-1, (long long)half, -1},
         secondData},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RawHttpServer server([&](RawHttpServer::Connection& conn) {
            const long long from = conn.RangeStart();
            const std::string& now =
                c.answer == Answer::RestOfANewerFile && conn.Number() > 0 ? second : first;
            if (conn.Number() == 0) {
                conn.SendHead(200, "OK", static_cast<long long>(now.size()));
                conn.Send(now.substr(0, half));
                conn.Stall();
            } else if (from > 0 && c.answer == Answer::NotSatisfiable) {
                conn.SendHead(416, "Range Not Satisfiable", 0);
            } else if (from > 0 && c.answer != Answer::Whole) {
                conn.SendHead(206, "Partial Content", static_cast<long long>(now.size()) - from,
                              "Content-Range: bytes " + std::to_string(from) + "-" +
                                  std::to_string(now.size() - 1) + "/" +
                                  std::to_string(now.size()) + "\r\n");
                conn.Send(now.substr(static_cast<std::size_t>(from)));
            } else {
                conn.SendHead(200, "OK", static_cast<long long>(now.size()));
                conn.Send(now);
            }
        });
        TempDir program;
        {
            EventLog log;
            DownloadInstallJob cancelled(program.dir(), Tool(11, server.Url()));
            std::thread worker([&] { static_cast<void>(cancelled.Start(&log)); });
            log.WaitForCounters([&](const DownloadCounters& counters) {
                return counters.receivedKB >= half >> 10;
            });
            cancelled.Cancel();
            worker.join();
        }
        EventLog log;
        DownloadInstallJob job(program.dir(), Tool(11, server.Url()));
        job.SetStartProgram(false);
        ASSERT_TRUE(job.Start(&log).Ok()) << log.Result().Describe();
        EXPECT_EQ(server.Ranges(), c.ranges);
        EXPECT_EQ(program.Read("LocalGameTool/11/data.bin"), c.installed);
        EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/11.zip")));
        EXPECT_FALSE(fs::exists(program.PathOf("ToolDownload/11.zip.part")));
    }
}

TEST(DownloadInstallJob, WhatCannotBeWrittenIsNamed) {
    FileHttpServer server;
    server.Put("/a.zip", ToolArchive());
    struct Case {
        const char* what;
        const char* blockingFile;  // a plain file where the job needs a folder
        const char* programBelow;  // the program directory, below the temporary one
        std::string failedPath;    // what the result names, below the temporary one
        DownloadCounters::Phase failedIn;
    } cases[] = {
        {"program directory below a file", "file", "file/program", "file/program/ToolDownload",
         DownloadCounters::Phase::Downloading},
        {"download folder is a file", "ToolDownload", "", "ToolDownload",
         DownloadCounters::Phase::Downloading},
        {"tool folder is a file", "LocalGameTool/12", "", "LocalGameTool/12",
         DownloadCounters::Phase::Installing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir temp;
        temp.Write(c.blockingFile, "in the way");
        EventLog log;
        DownloadInstallJob job(temp / c.programBelow, Tool(12, server.Url("/a.zip")));
        job.SetStartProgram(false);
        const job::Result result = job.Start(&log);
        EXPECT_EQ(result.code, job::Code::WriteFailed) << result.Describe();
        EXPECT_EQ(result.path, temp / c.failedPath);
        EXPECT_TRUE(result.error) << result.Describe();
        EXPECT_EQ(log.Counters().phase, c.failedIn);
        EXPECT_EQ(log.Events(), std::vector<std::string>{"finished"});
    }
}

// An archive larger than the free room (here: no room at all) is refused as soon as its size
// is known; an answer that never ends is cut off there. Neither leaves a file behind.
TEST(DownloadInstallJob, AnArchiveWithoutRoomOnTheDiskLeavesNothing) {
    const std::string archive = ToolArchive(100000);
    for (long long announced : {static_cast<long long>(archive.size()), -1ll}) {
        RawHttpServer server([&](RawHttpServer::Connection& c) {
            c.SendHead(200, "OK", announced);
            c.Send(archive);
        });
        TempDir program;
        EventLog log;
        DownloadInstallJob job(program.dir(), Tool(12, server.Url()));
        job.SetStartProgram(false);
        job.SetDiskReserve(UINT64_MAX);
        const job::Result result = job.Start(&log);
        EXPECT_EQ(result.code, job::Code::WriteFailed) << result.Describe();
        EXPECT_EQ(result.error, std::make_error_code(std::errc::no_space_on_device));
        EXPECT_TRUE(fs::is_empty(program.PathOf("ToolDownload")));
        EXPECT_FALSE(fs::exists(program.PathOf("LocalGameTool/12")));
    }
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
    EXPECT_TRUE(fs::exists(program.PathOf("LocalGameTool/10/data.bin")));
}

}  // namespace

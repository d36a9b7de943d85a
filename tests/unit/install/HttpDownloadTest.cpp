#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <thread>

#include "FileHttpServer.h"
#include "RawHttpServer.h"
#include "TempDir.h"
#include "install/HttpDownload.h"

using install::DownloadProgress;
using install::DownloadResult;
using install::HttpDownload;
namespace fs = std::filesystem;

namespace {

std::string RandomBytes(std::size_t size) {
    std::mt19937 rng(static_cast<unsigned>(size));
    std::string bytes(size, '\0');
    for (auto& b : bytes) {
        b = static_cast<char>(rng());
    }
    return bytes;
}

// Records every progress report of a download.
struct ProgressLog {
    std::mutex mutex;
    std::vector<DownloadProgress> reports;

    HttpDownload::ProgressFn Callback() {
        return [this](const DownloadProgress& p) {
            std::lock_guard lock(mutex);
            reports.push_back(p);
        };
    }
    DownloadProgress Last() {
        std::lock_guard lock(mutex);
        return reports.empty() ? DownloadProgress{} : reports.back();
    }
};

TEST(HttpDownload, FetchesTheWholeFileAndReportsProgress) {
    FileHttpServer server;
    const std::string body = RandomBytes(3 * 1024 * 1024 + 17);
    server.Put("/tool.zip", body);
    TempDir temp;
    for (const char* path : {"/tool.zip", "/moved/tool.zip"}) {
        HttpDownload download(server.Url(path), temp / "out.zip");
        ProgressLog log;
        download.SetProgressCallback(log.Callback());
        DownloadResult result = download.Run();
        ASSERT_TRUE(result.Ok()) << path << ": " << result.result.reason;
        EXPECT_EQ(result.httpStatus, 200);
        EXPECT_EQ(result.bytes, body.size());
        EXPECT_EQ(result.retriesUsed, 0);
        EXPECT_EQ(temp.Read("out.zip"), body);
        ASSERT_FALSE(log.reports.empty());
        std::uint64_t previous = 0;
        for (const auto& p : log.reports) {
            EXPECT_GE(p.received, previous);
            EXPECT_EQ(p.total, body.size());
            previous = p.received;
        }
        EXPECT_EQ(log.Last().received, body.size());
    }
}

TEST(HttpDownload, ErrorStatusesFailWithoutRetrying) {
    FileHttpServer server;
    TempDir temp;
    for (int status : {404, 500, 503, 403}) {
        HttpDownload download(server.Url("/status/" + std::to_string(status)), temp / "out.zip");
        DownloadResult result = download.Run();
        EXPECT_EQ(result.result.code, job::Code::Network) << status;
        EXPECT_EQ(result.httpStatus, status);
        EXPECT_EQ(result.retriesUsed, 0);
        EXPECT_NE(result.result.reason.find(std::to_string(status)), std::string::npos)
            << result.result.reason;
        // Nothing of the error page is taken for the file.
        EXPECT_EQ(temp.Read("out.zip"), "") << status;
    }
}

TEST(HttpDownload, OnlyHttpAndHttpsAddressesAreFetched) {
    FileHttpServer server;
    TempDir temp;
    temp.Write("secret.txt", "secret");
    const std::string fileUrl = "file://" + (temp / "secret.txt");
    for (const std::string& url : {std::string(), std::string("file:///etc/passwd"), fileUrl,
                                   std::string("ftp://127.0.0.1/x"),
                                   std::string("javascript:alert(1)"), std::string("http://")}) {
        HttpDownload download(url, temp / "out.zip");
        EXPECT_EQ(download.Run().result.code, job::Code::BadData) << url;
    }
    // Nor may a redirect lead there.
    HttpDownload redirected(server.Url("/redirect-to?url=" + fileUrl), temp / "out.zip");
    EXPECT_FALSE(redirected.Run().Ok());
    EXPECT_NE(temp.Read("out.zip"), "secret");
}

TEST(HttpDownload, AFileThatCannotBeCreatedIsAFileError) {
    FileHttpServer server;
    server.Put("/a", "abc");
    TempDir temp;
    HttpDownload download(server.Url("/a"), temp / "missing-dir/out.zip");
    EXPECT_EQ(download.Run().result.code, job::Code::WriteFailed);
}

TEST(HttpDownload, AnswersWithoutLengthAreTakenAsTheyCome) {
    const std::string body = RandomBytes(200000);
    RawHttpServer server([&](RawHttpServer::Connection& c) {
        c.SendHead(200, "OK", -1);
        c.Send(body);
    });
    TempDir temp;
    HttpDownload download(server.Url(), temp / "out.zip");
    ProgressLog log;
    download.SetProgressCallback(log.Callback());
    ASSERT_TRUE(download.Run().Ok());
    EXPECT_EQ(temp.Read("out.zip"), body);
    EXPECT_EQ(log.Last().total, 0u);
}

// A server that breaks off the first `breaks` transfers at half length, then serves properly;
// with `ranges` it answers range requests with the rest of the file.
struct FlakyServer {
    FlakyServer(std::string body, int breaks, bool ranges)
        : body(std::move(body)), server([this, breaks, ranges](RawHttpServer::Connection& c) {
              const std::string& b = this->body;
              long long from = ranges ? c.RangeStart() : -1;
              if (from > 0) {
                  c.SendHead(206, "Partial Content", static_cast<long long>(b.size()) - from,
                             "Content-Range: bytes " + std::to_string(from) + "-" +
                                 std::to_string(b.size() - 1) + "/" + std::to_string(b.size()) +
                                 "\r\n");
                  if (c.Number() < breaks) {
                      c.Send(b.substr(static_cast<std::size_t>(from), (b.size() - from) / 2));
                  } else {
                      c.Send(b.substr(static_cast<std::size_t>(from)));
                  }
                  return;
              }
              c.SendHead(200, "OK", static_cast<long long>(b.size()));
              c.Send(c.Number() < breaks ? b.substr(0, b.size() / 2) : b);
          }) {}
    std::string body;
    RawHttpServer server;
};

TEST(HttpDownload, BrokenTransfersAreRetriedResumingWhereTheServerAllows) {
    const std::string body = RandomBytes(400000);
    struct Case {
        const char* what;
        int breaks;
        bool ranges;
        bool ok;
        int retries;
        std::vector<long long> rangeRequests;
    } cases[] = {
        {"resumed once", 1, true, true, 1, {-1, 200000}},
        {"resumed twice", 2, true, true, 2, {-1, 200000, 300000}},
        {"restarted when ranges are not supported", 1, false, true, 1, {-1, 200000}},
        {"gives up after two retries", 3, true, false, 2, {-1, 200000, 300000}},
    };
    for (const auto& c : cases) {
        FlakyServer flaky(body, c.breaks, c.ranges);
        TempDir temp;
        HttpDownload download(flaky.server.Url(), temp / "out.zip");
        download.SetRetryPause(std::chrono::milliseconds(0));
        ProgressLog log;
        download.SetProgressCallback(log.Callback());
        DownloadResult result = download.Run();
        EXPECT_EQ(result.Ok(), c.ok) << c.what << ": " << result.result.reason;
        EXPECT_EQ(result.retriesUsed, c.retries) << c.what;
        EXPECT_EQ(flaky.server.Ranges(), c.rangeRequests) << c.what;
        if (c.ok) {
            EXPECT_EQ(temp.Read("out.zip"), body) << c.what;
        } else {
            EXPECT_EQ(result.result.code, job::Code::Network) << c.what;
            // What arrived stays, and it is the start of the file.
            std::string kept = temp.Read("out.zip");
            EXPECT_EQ(kept.size(), result.bytes) << c.what;
            EXPECT_EQ(kept, body.substr(0, kept.size())) << c.what;
        }
        // Retries show as attempts in the progress, not as a new download.
        EXPECT_EQ(log.Last().attempt, c.retries) << c.what;
    }
}

TEST(HttpDownload, AServerThatStallsCountsAsBroken) {
    const std::string body = RandomBytes(100000);
    struct Case {
        const char* what;
        bool headFirst;
    } cases[] = {{"stall before the answer", false}, {"stall in the middle", true}};
    for (const auto& c : cases) {
        RawHttpServer server([&](RawHttpServer::Connection& conn) {
            if (conn.Number() == 0) {
                if (c.headFirst) {
                    conn.SendHead(200, "OK", static_cast<long long>(body.size()));
                    conn.Send(body.substr(0, 1000));
                }
                conn.Stall();
                return;
            }
            conn.SendHead(200, "OK", static_cast<long long>(body.size()));
            conn.Send(body);
        });
        TempDir temp;
        HttpDownload download(server.Url(), temp / "out.zip");
        download.SetStallTimeout(std::chrono::seconds(1));
        download.SetRetryPause(std::chrono::milliseconds(0));
        DownloadResult result = download.Run();
        ASSERT_TRUE(result.Ok()) << c.what << ": " << result.result.reason;
        EXPECT_EQ(result.retriesUsed, 1) << c.what;
        EXPECT_EQ(temp.Read("out.zip"), body) << c.what;
    }
}

// A server that keeps sending, but at a few hundred bytes a second, never trips the stall
// rule: the low-speed rule and the time limit end such a download.
TEST(HttpDownload, ATrickleCountsAsBrokenAndTheTimeLimitEndsIt) {
    const std::string body = RandomBytes(6000);
    RawHttpServer server([&](RawHttpServer::Connection& conn) {
        conn.SendHead(200, "OK", static_cast<long long>(body.size()));
        conn.Trickle(body, 50, std::chrono::milliseconds(100));
    });
    struct Case {
        const char* what;
        std::function<void(HttpDownload&)> limit;
    } cases[] = {
        {"below the low speed",
         [](HttpDownload& d) {
             d.SetLowSpeedLimit(1000, std::chrono::seconds(1));
             d.SetRetries(1);
         }},
        {"beyond the time limit",
         [](HttpDownload& d) {
             d.SetTimeLimit(std::chrono::seconds(1));
             d.SetRetries(5);
         }},
    };
    for (const auto& c : cases) {
        TempDir temp;
        HttpDownload download(server.Url(), temp / "icon.png");
        download.SetReplaceWhenComplete(true);
        download.SetRetryPause(std::chrono::milliseconds(0));
        c.limit(download);
        DownloadResult result = download.Run();
        EXPECT_EQ(result.result.code, job::Code::Network) << c.what << ": " << result.result.reason;
        EXPECT_TRUE(fs::is_empty(temp.path())) << c.what;
    }
}

// An answer larger than the room given (announced, or endless without a length) is cut off
// and what arrived is removed, also a resumable download's partial file.
TEST(HttpDownload, AnswersLargerThanTheSizeLimitAreRefusedAndRemoved) {
    const std::string chunk = RandomBytes(64 * 1024);
    struct Case {
        const char* what;
        long long announced;
        bool resumable;
    } cases[] = {
        {"announced too large", 1ll << 40, false},
        {"endless without a length", -1, false},
        {"endless, resumable", -1, true},
    };
    for (const auto& c : cases) {
        RawHttpServer server([&](RawHttpServer::Connection& conn) {
            conn.SendHead(200, "OK", c.announced);
            // Far more than the limit, but an end for a client that never stops reading.
            for (int i = 0; i < 4096 && conn.Send(chunk); ++i) {
            }
        });
        TempDir temp;
        HttpDownload download(server.Url(), temp / "tool.zip");
        download.SetResumable(c.resumable);
        download.SetSizeLimit(1 << 20);
        DownloadResult result = download.Run();
        EXPECT_EQ(result.result.code, job::Code::WriteFailed)
            << c.what << ": " << result.result.reason;
        EXPECT_EQ(result.result.error, std::make_error_code(std::errc::no_space_on_device))
            << c.what;
        EXPECT_TRUE(fs::is_empty(temp.path())) << c.what;
    }
}

TEST(HttpDownload, CancelStopsAStalledTransferAndKeepsWhatArrived) {
    const std::string body = RandomBytes(100000);
    RawHttpServer server([&](RawHttpServer::Connection& conn) {
        conn.SendHead(200, "OK", static_cast<long long>(body.size()));
        conn.Send(body.substr(0, 5000));
        conn.Stall();
    });
    TempDir temp;
    HttpDownload download(server.Url(), temp / "out.zip");
    ProgressLog log;
    download.SetProgressCallback(log.Callback());
    DownloadResult result;
    std::thread worker([&] { result = download.Run(); });
    while (log.Last().received < 5000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    download.Cancel();
    worker.join();
    EXPECT_EQ(result.result.code, job::Code::Cancelled);
    EXPECT_EQ(temp.Read("out.zip"), body.substr(0, 5000));

    // A flag shared with the caller cancels the same way, also before the start.
    std::atomic<bool> flag{true};
    HttpDownload shared(server.Url(), temp / "other.zip");
    shared.SetCancelFlag(&flag);
    EXPECT_EQ(shared.Run().result.code, job::Code::Cancelled);
}

TEST(HttpDownload, ReplaceWhenCompleteKeepsTheOldFileUntilTheNewOneIsWhole) {
    FileHttpServer server;
    server.Put("/icon.png", "new icon");
    TempDir temp;
    temp.Write("icon.png", "old icon");
    {
        HttpDownload failing(server.Url("/status/404"), temp / "icon.png");
        failing.SetReplaceWhenComplete(true);
        EXPECT_FALSE(failing.Run().Ok());
        EXPECT_EQ(temp.Read("icon.png"), "old icon");
    }
    {
        HttpDownload working(server.Url("/icon.png"), temp / "icon.png");
        working.SetReplaceWhenComplete(true);
        EXPECT_TRUE(working.Run().Ok());
        EXPECT_EQ(temp.Read("icon.png"), "new icon");
    }
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(temp.path())) {
        left.push_back(e.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"icon.png"});
}

}  // namespace

// Reports go through the report writer: acknowledged only once stored, not at all when the
// store fails.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "InProcessServer.h"
#include "StoredReports.h"
#include "server/ServerClient.h"

namespace {

server::Reply SendStart(int port, const std::string& id) {
    server::ClientConfig config;
    config.port = port;
    server::ServerClient client(config);
    return client.Exchange(server::Message::StartReport, {id, "0"});
}

bool IsStored(const std::string& db, const std::string& id) {
    for (const auto& row : StoredReports(db)) {
        if (row[3] == id) {
            return true;
        }
    }
    return false;
}

// Whenever a client holds an acknowledgement, its report is already in the database, also
// with many clients whose reports share batches.
TEST(ReportWriterRoad, AReportIsStoredBeforeItIsAcknowledged) {
    InProcessServer server;
    server.Start();
    std::vector<std::thread> clients;
    std::atomic<int> acknowledged{0};
    std::atomic<int> unstored{0};
    for (int t = 0; t < 16; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; i < 8; ++i) {
                std::string id = std::to_string(t) + "-" + std::to_string(i);
                if (SendStart(server.server->Port(), id).Answered()) {
                    ++acknowledged;
                    unstored += IsStored(server.Db(), id) ? 0 : 1;
                }
            }
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    EXPECT_EQ(acknowledged.load(), 128);
    EXPECT_EQ(unstored.load(), 0);
}

TEST(ReportWriterRoad, AReportTheStoreRefusesIsNotAcknowledged) {
    InProcessServer server;
    server.Start();
    server.store->failReports = true;
    EXPECT_FALSE(SendStart(server.server->Port(), "lost").Answered());
    EXPECT_NE(
        server.Log().find(
            "cannot store a batch of 1 reports; none of them is acknowledged: the disk is full"),
        std::string::npos)
        << server.Log();
    // The writer goes on once the store works again.
    server.store->failReports = false;
    EXPECT_TRUE(SendStart(server.server->Port(), "kept").Answered());
    EXPECT_FALSE(IsStored(server.Db(), "lost"));
    EXPECT_TRUE(IsStored(server.Db(), "kept"));
}

// A version check is answered while the report writer is still busy, and its record is
// stored by the time the server has stopped.
TEST(ReportWriterRoad, AVersionCheckIsAnsweredWithoutWaitingForItsRecord) {
    InProcessServer server({}, FIXTURE_DIR "/seed.json");
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    server.store->beforeReports = [released] { released.wait(); };
    server.Start();
    server::ClientConfig config;
    config.port = server.server->Port();
    server::ServerClient client(config);
    EXPECT_TRUE(client.Exchange(server::Message::VersionCheck, {"150", "1.5"}).Answered());
    release.set_value();
    server.Stop();

    auto reports = server.store->Inner().RecentReports(10);
    EXPECT_EQ(std::count_if(reports.begin(), reports.end(),
                            [](const dataserver::Report& r) { return r.kind == "check"; }),
              1);
}

}  // namespace

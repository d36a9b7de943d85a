// ravik-dataserver ending on SIGTERM: promptly, with exit code 0, and with every report it
// acknowledged stored.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Programs.h"
#include "StoredReports.h"
#include "server/ServerClient.h"
#include "server/Socket.h"

namespace {

using namespace std::chrono_literals;

TEST(ShutdownRoad, EveryAcknowledgedReportIsStoredWhenStoppedUnderLoad) {
    TempDir data;
    DataServerProcess server(data / "data.db", "");
    server::ClientConfig config;
    config.port = server.Port();
    std::mutex mutex;
    std::set<std::string> acknowledged;  // the reports' time fields, unique per report
    std::atomic<bool> serverGone{false};
    std::vector<std::thread> clients;
    for (int t = 0; t < 8; ++t) {
        clients.emplace_back([&, t] {
            server::ServerClient client(config);
            for (int i = 0; !serverGone; ++i) {
                std::string id = std::to_string(t) + "-" + std::to_string(i);
                server::Reply reply = client.Exchange(server::Message::StartReport, {id, "0"});
                if (reply.Answered()) {
                    std::lock_guard lock(mutex);
                    acknowledged.insert(id);
                } else if (!client.Connect().Connected()) {
                    serverGone = true;
                }
            }
        });
    }
    // Stopped in the midst of the load.
    for (auto give = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < give; std::this_thread::sleep_for(5ms)) {
        std::lock_guard lock(mutex);
        if (acknowledged.size() >= 200) {
            break;
        }
    }
    EXPECT_EQ(server.Terminate(), 0) << server.Log();
    serverGone = true;
    for (auto& client : clients) {
        client.join();
    }

    std::set<std::string> stored;
    for (const auto& row : StoredReports(data / "data.db")) {
        stored.insert(row[3]);
    }
    EXPECT_GE(stored.size(), acknowledged.size());
    std::vector<std::string> lost;
    for (const std::string& id : acknowledged) {
        if (stored.count(id) == 0) {
            lost.push_back(id);
        }
    }
    EXPECT_TRUE(lost.empty()) << lost.size() << " acknowledged reports are not stored, such as "
                              << lost.front();
}

TEST(ShutdownRoad, EndsWithThousandsOfIdleConnectionsOpen) {
    TempDir data;
    DataServerProcess server(data / "data.db", "", FIXTURE_DIR "/www",
                             {"--read-timeout", "600", "--exchange-timeout", "600"});
    std::vector<std::unique_ptr<server::Socket>> idle;
    for (int i = 0; i < 2000; ++i) {
        auto socket = std::make_unique<server::Socket>();
        ASSERT_TRUE(socket->Connect("127.0.0.1", server.Port(), 5s)) << i << socket->Error();
        idle.push_back(std::move(socket));
    }
    EXPECT_EQ(server.Terminate(), 0) << server.Log();
}

}  // namespace

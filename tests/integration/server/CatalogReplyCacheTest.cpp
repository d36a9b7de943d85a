// Catalog replies come from one database read per catalog change and lasttime, however
// many launchers ask at once, and never outlive the catalog they were built from.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "CatalogEditJson.h"
#include "InProcessServer.h"
#include "server/ServerClient.h"

namespace {

TEST(CatalogReplyCache, ManyQueriesCostOneReadPerCatalogAndLasttime) {
    InProcessServer server({}, FIXTURE_DIR "/seed.json");
    server.Start();
    server::ClientConfig config;
    config.port = server.server->Port();
    auto askAll = [&](const std::string& lasttime, int clients) {
        std::vector<std::thread> threads;
        std::vector<std::string> replies(clients);
        for (int i = 0; i < clients; ++i) {
            threads.emplace_back([&, i] {
                server::ServerClient client(config);
                replies[i] = client.Exchange(server::Message::CatalogQuery, {lasttime}).text;
            });
        }
        for (auto& thread : threads) {
            thread.join();
        }
        for (const std::string& reply : replies) {
            EXPECT_EQ(reply, replies.front());
        }
        return replies.front();
    };

    std::string first = askAll("0", 32);
    EXPECT_NE(first.find("星际远征"), std::string::npos) << first;
    EXPECT_EQ(server.store->catalogReads.load(), 1);
    std::string later = askAll("20", 8);
    EXPECT_NE(later, first);
    EXPECT_EQ(server.store->catalogReads.load(), 2);

    // A change to the catalog: the next replies are built from it.
    ASSERT_NO_THROW(
        server.store->Inner().Publish(dataserver::EditFromFile(FIXTURE_DIR "/seed-update.json")));
    ++server.store->generation;
    std::string changed = askAll("0", 16);
    EXPECT_NE(changed.find("星际远征2"), std::string::npos) << changed;
    EXPECT_EQ(server.store->catalogReads.load(), 3);
}

}  // namespace

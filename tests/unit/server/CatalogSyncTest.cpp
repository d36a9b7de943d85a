#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <thread>
#include <vector>

#include "FakeDataServer.h"
#include "RawHttpServer.h"
#include "SyncFixture.h"
#include "server/CatalogSync.h"

namespace {

using namespace std::chrono_literals;

// Icons over HTTP on loopback: one that arrives, one the server does not have and one whose
// transfer breaks off halfway.
class IconServer {
  public:
    IconServer() {
        http_.Get("/icon.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("new icon", "image/png");
        });
        http_.Get("/other.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("other icon", "image/png");
        });
        http_.Get("/broken.png", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "image/png",
                                     [](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset > 0) {
                                             return false;  // break the transfer off
                                         }
                                         sink.write("part", 4);
                                         return true;
                                     });
        });
        port_ = http_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { http_.listen_after_bind(); });
        // stop() is lost on a server that is not running yet.
        while (!http_.is_running()) {
            std::this_thread::sleep_for(1ms);
        }
    }
    ~IconServer() {
        http_.stop();
        thread_.join();
    }
    std::string Url(const std::string& name) const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
    }

  private:
    httplib::Server http_;
    int port_ = 0;
    std::thread thread_;
};

class CatalogSyncTest : public SyncFixture {
  protected:
    static FakeDataServer::Script Answers(std::string catalogReply, std::string rankingReply) {
        return [catalogReply, rankingReply](server::Socket& s, const std::string& request) {
            s.SendAll((CodeOf(request) == '3' ? catalogReply : rankingReply) + std::string(1, '\0'),
                      1s);
        };
    }

    IconServer icons;
};

TEST_F(CatalogSyncTest, FetchesIconsAndCollectsRecordsAndRanking) {
    catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "lasttime", "77");
    catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "pxtime", "4");
    FakeDataServer fake(Answers(Reply({Game("5", "five", icons.Url("icon.png"), "90"),
                                       Tool("191", "0", "20301", icons.Url("other.png"), "91")}),
                                Ranking("1", "5,1", "6")));
    server::ServerClient client(fake.Config());
    std::vector<bool> busy;
    server::SyncRun run =
        server::SyncCatalogs(client, dir.dir(), [&](bool box) { busy.push_back(box); });

    EXPECT_FALSE(run.cancelled);
    EXPECT_EQ(run.changes.records, 2);
    EXPECT_TRUE(run.changes.ranked);
    EXPECT_EQ(busy, std::vector<bool>{true});
    EXPECT_EQ(run.iconsFetched, 2);
    EXPECT_EQ(dir.Read("GameIcon/5.png"), "new icon");
    EXPECT_EQ(dir.Read("ToolIcon/20301.png"), "other icon");
    auto requests = fake.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(FieldsOf(requests[0]).at(2), "77");
    EXPECT_EQ(FieldsOf(requests[1]).at(2), "4");
    // The files are untouched until the owner applies the changes.
    EXPECT_EQ(Setting("lasttime"), "77");
    ASSERT_TRUE(Apply(run.changes).ok());
    EXPECT_EQ(GameIds(), std::vector<uint32_t>{5});
    EXPECT_EQ(Setting("lasttime"), "91");
    EXPECT_EQ(Setting("pxtime"), "6");
}

TEST_F(CatalogSyncTest, AFailedIconFetchKeepsTheOldIcon) {
    struct Case {
        const char* name;
        std::string url;
        std::string icon;
    } cases[] = {
        {"arrives", icons.Url("icon.png"), "new icon"},
        {"not found", icons.Url("missing.png"), "old icon"},
        {"broken off", icons.Url("broken.png"), "old icon"},
        {"not a web address", "file:///etc/passwd", "old icon"},
    };
    for (const auto& c : cases) {
        dir.Write("GameIcon/5.png", "old icon");
        int fetched = server::FetchIcons({{c.url, dir / "GameIcon/5.png"}});
        EXPECT_EQ(fetched, c.icon == "new icon" ? 1 : 0) << c.name;
        EXPECT_EQ(dir.Read("GameIcon/5.png"), c.icon) << c.name;
        std::size_t files = 0;
        for ([[maybe_unused]] const auto& entry :
             std::filesystem::directory_iterator(dir.path() / "GameIcon")) {
            ++files;
        }
        EXPECT_EQ(files, 1u) << c.name << ": no temporary file is left behind";
    }
}

// An icon trickled at a few hundred bytes a second would hold the sync, and its busy box, for
// as long as the server likes: past the icon's time limit it is given up on and the next
// icon still arrives.
TEST_F(CatalogSyncTest, ATrickledIconIsGivenUpOnAndTheNextOneArrives) {
    const std::string slow(6000, 's');
    RawHttpServer trickle([&](RawHttpServer::Connection& conn) {
        conn.SendHead(200, "OK", static_cast<long long>(slow.size()));
        conn.Trickle(slow, 50, std::chrono::milliseconds(100));
    });
    dir.Write("GameIcon/5.png", "old icon");
    server::IconLimits limits;
    limits.total = std::chrono::seconds(1);
    int fetched = server::FetchIcons({{trickle.Url("/5.png"), dir / "GameIcon/5.png"},
                                      {icons.Url("icon.png"), dir / "GameIcon/6.png"}},
                                     nullptr, limits);
    EXPECT_EQ(fetched, 1);
    EXPECT_EQ(dir.Read("GameIcon/5.png"), "old icon");
    EXPECT_EQ(dir.Read("GameIcon/6.png"), "new icon");
}

TEST_F(CatalogSyncTest, StoredGamesWithoutIconsGetThemFetched) {
    StoreGames({5, 6, 7});
    catalog::Catalog catalog(dir.dir());
    catalog.LoadAll();
    // Game 6's icon never arrived; game 7's address has a name too long to fetch; game 8 has
    // no address at all.
    catalog::IniFile games = catalog::IniFile::Load(dir / "gamecfg.dat");
    games.Set("PNG", "2", icons.Url("icon.png"));
    games.Set("PNG", "3", icons.Url(std::string(20, 'n')));
    games.Set("NETGAME", "4", "8");
    games.Set("NETGAME", "SIZE", "4");
    ASSERT_TRUE(games.Save().ok());
    std::filesystem::remove(dir.path() / "GameIcon" / "6.png");
    std::filesystem::remove(dir.path() / "GameIcon" / "7.png");

    std::vector<server::IconFetch> missing = server::MissingGameIcons(dir.dir());
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_EQ(missing[0].url, icons.Url("icon.png"));

    FakeDataServer fake(Answers(Reply({{}}), Ranking("0", "", "")));
    server::ServerClient client(fake.Config());
    server::SyncRun run = server::SyncCatalogs(client, dir.dir());
    EXPECT_TRUE(run.changes.Empty());
    EXPECT_EQ(dir.Read("GameIcon/6.png"), "new icon");
    catalog.LoadGames();
    EXPECT_EQ(catalog.Games().size(), 2u);
}

TEST_F(CatalogSyncTest, UnreachableServerGivesNothing) {
    const server::ClientConfig config = UnreachableConfig();
    server::ServerClient client(config);
    bool busy = false;
    server::SyncRun run = server::SyncCatalogs(client, dir.dir(), [&](bool) { busy = true; });
    EXPECT_TRUE(run.changes.Empty());
    EXPECT_TRUE(run.changes.changes.empty());
    EXPECT_FALSE(busy);
}

TEST_F(CatalogSyncTest, ARankingChangeAloneAsksForTheBox) {
    FakeDataServer fake(Answers(Reply({{}}), Ranking("1", "5,1", "6")));
    server::ServerClient client(fake.Config());
    std::vector<bool> busy;
    server::SyncRun run =
        server::SyncCatalogs(client, dir.dir(), [&](bool box) { busy.push_back(box); });
    EXPECT_EQ(run.changes.records, 0);
    EXPECT_TRUE(run.changes.ranked);
    EXPECT_EQ(busy, std::vector<bool>{true});
}

}  // namespace

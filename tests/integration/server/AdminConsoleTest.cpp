// The operator console's API in-process, on a store that records what it is asked to do.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "AdminConsole.h"
#include "Programs.h"

namespace {

using dataserver::HttpRequest;
using dataserver::HttpResponse;

class RecordingStore : public dataserver::Store {
  public:
    dataserver::CatalogChanges ChangesAfter(uint32_t) override { return {}; }
    dataserver::Ranking CurrentRanking() override { return {}; }
    dataserver::VersionData CurrentVersion() override { return {}; }
    uint64_t CatalogGeneration() override { return 0; }
    void StoreReports(const std::vector<dataserver::Report>&) override {}
    uint32_t Publish(const dataserver::CatalogEdit& edit) override {
        published.push_back(edit);
        return 77;
    }
    uint32_t NewestStamp() override { return 0; }
    std::vector<dataserver::GameRecord> Games() override { return games; }
    std::vector<dataserver::ToolRecord> Tools() override { return tools; }
    std::vector<dataserver::RemovalRecord> Removals() override { return removals; }
    dataserver::UsageSummary Usage(int days) override {
        usageDays = days;
        return {};
    }
    std::vector<dataserver::Report> RecentReports(std::size_t) override { return {}; }

    std::vector<dataserver::CatalogEdit> published;
    std::vector<dataserver::GameRecord> games;
    std::vector<dataserver::ToolRecord> tools;
    std::vector<dataserver::RemovalRecord> removals;
    int usageDays = 0;
};

class AdminConsoleApi : public ::testing::Test {
  protected:
    using Clock = dataserver::AdminConsole::Clock;

    HttpResponse Call(const std::string& method, const std::string& path,
                      const std::string& body = {},
                      std::map<std::string, std::string> headers = {}) {
        HttpRequest request;
        request.method = method;
        auto question = path.find('?');
        request.path = path.substr(0, question);
        request.query = question == std::string::npos ? "" : path.substr(question + 1);
        request.body = body;
        request.headers = std::move(headers);
        if (!body.empty() && !request.headers.contains("content-type")) {
            request.headers["content-type"] = "application/json";
        }
        return console.Handle(request);
    }
    HttpResponse Bearer(const std::string& method, const std::string& path,
                        const std::string& body = {}) {
        return Call(method, path, body, {{"authorization", "Bearer tok-en"}});
    }
    // The cookie a login sets, as the browser sends it back.
    std::string Login() {
        HttpResponse response = Call("POST", "/admin/api/session", R"({"token":"tok-en"})");
        EXPECT_EQ(response.status, 200);
        for (const auto& [name, value] : response.headers) {
            if (name == "Set-Cookie") {
                EXPECT_NE(value.find("HttpOnly"), std::string::npos);
                EXPECT_NE(value.find("SameSite=Strict"), std::string::npos);
                EXPECT_NE(value.find("Path=/admin"), std::string::npos);
                return value.substr(0, value.find(';'));
            }
        }
        ADD_FAILURE() << "no cookie set";
        return {};
    }

    RecordingStore store;
    Clock::time_point now = Clock::time_point() + std::chrono::hours(1000);
    dataserver::AdminConsole console{store, "tok-en", [this] { return now; }};
};

TEST_F(AdminConsoleApi, SessionCookieOpensTheApiUntilItExpiresOrEnds) {
    std::string cookie = Login();
    EXPECT_EQ(Call("GET", "/admin/api/catalog", {}, {{"cookie", "a=b; " + cookie}}).status, 200);
    now += std::chrono::hours(13);
    EXPECT_EQ(Call("GET", "/admin/api/catalog", {}, {{"cookie", cookie}}).status, 401);

    cookie = Login();
    EXPECT_EQ(Call("DELETE", "/admin/api/session", "{}", {{"cookie", cookie}}).status, 200);
    EXPECT_EQ(Call("GET", "/admin/api/catalog", {}, {{"cookie", cookie}}).status, 401);
}

TEST_F(AdminConsoleApi, PublicationsGetTheStoresStampWhateverTheBodySays) {
    HttpResponse response = Bearer("POST", "/admin/api/tools",
                                   R"({"id": 20399, "TYPE": 189, "TITLE": "论坛", "TIME": 5})");
    ASSERT_EQ(response.status, 200) << response.body;
    EXPECT_EQ(nlohmann::json::parse(response.body), nlohmann::json({{"stamp", 77}}));
    ASSERT_EQ(store.published.size(), 1u);
    ASSERT_EQ(store.published[0].tools.size(), 1u);
    EXPECT_EQ(store.published[0].tools[0].id, 20399u);
    EXPECT_EQ(store.published[0].tools[0].time, 0u);

    ASSERT_EQ(Bearer("POST", "/admin/api/ranking",
                     R"({"stamp": "9", "games": [{"id": 103, "position": 1}]})")
                  .status,
              200);
    ASSERT_TRUE(store.published[1].ranking);
    EXPECT_EQ(store.published[1].ranking->stamp, "");
}

TEST_F(AdminConsoleApi, BadRequestsAreRefusedBeforeTheStoreSeesThem) {
    const struct {
        const char* name;
        std::string method, path, body;
        int status;
    } cases[] = {
        {"not JSON", "POST", "/admin/api/games", "{", 400},
        {"a list, not a record", "POST", "/admin/api/games", "[]", 400},
        {"tool type out of range", "POST", "/admin/api/tools", R"({"id":1,"TYPE":5,"TITLE":"x"})",
         400},
        {"game without a title", "POST", "/admin/api/games", R"({"id":1})", 400},
        {"a misspelt field", "POST", "/admin/api/games", R"({"id":1,"TITEL":"x"})", 400},
        {"empty removal", "POST", "/admin/api/removals", R"({"games":[]})", 400},
        {"reading by POST", "POST", "/admin/api/catalog", "{}", 405},
        {"publishing by GET", "GET", "/admin/api/games", "", 405},
        {"unknown call", "GET", "/admin/api/nothing", "", 404},
        {"days out of range", "GET", "/admin/api/usage?days=0", "", 400},
        {"days not a number", "GET", "/admin/api/usage?days=-3", "", 400},
    };
    for (const auto& c : cases) {
        HttpResponse response = Bearer(c.method, c.path, c.body);
        EXPECT_EQ(response.status, c.status) << c.name;
        EXPECT_TRUE(nlohmann::json::parse(response.body).contains("error")) << c.name;
    }
    EXPECT_TRUE(store.published.empty());
    EXPECT_EQ(Bearer("GET", "/admin/api/usage?days=7").status, 200);
    EXPECT_EQ(store.usageDays, 7);
}

TEST_F(AdminConsoleApi, SearchKeepsGamesWithTheirMatchingToolsAndMarksRemovals) {
    auto game = [](uint32_t id, const std::string& title, uint32_t time) {
        dataserver::GameRecord g;
        g.id = id;
        g.title = title;
        g.time = time;
        return g;
    };
    auto tool = [](uint32_t id, uint32_t gameId, const std::string& title) {
        dataserver::ToolRecord t;
        t.id = id;
        t.gameId = gameId;
        t.type = 187;
        t.title = title;
        return t;
    };
    store.games = {game(101, "九州传说", 10), game(102, "星际远征", 11)};
    store.tools = {tool(30301, 101, "九州助手"), tool(30302, 102, "星际攻略"),
                   tool(20301, 0, "Speed Booster")};
    store.removals = {{{102}, {}, 12}};
    auto catalog = [this](const std::string& q) {
        return nlohmann::json::parse(Bearer("GET", "/admin/api/catalog?q=" + q).body);
    };
    nlohmann::json all = catalog("");
    ASSERT_EQ(all["games"].size(), 2u);
    EXPECT_FALSE(all["games"][0]["removed"]);
    EXPECT_TRUE(all["games"][1]["removed"]);
    EXPECT_EQ(all["games"][0]["tools"][0]["id"], 30301);

    nlohmann::json byTool = catalog("%E5%8A%A9%E6%89%8B");  // 助手
    ASSERT_EQ(byTool["games"].size(), 1u);
    EXPECT_EQ(byTool["games"][0]["id"], 101);
    EXPECT_TRUE(byTool["tools"].empty());
    nlohmann::json byText = catalog("speed+BOOSTER");
    EXPECT_TRUE(byText["games"].empty());
    ASSERT_EQ(byText["tools"].size(), 1u);
    EXPECT_EQ(catalog("102")["games"][0]["id"], 102);
}

TEST_F(AdminConsoleApi, PageFilesNeedNoTokenAndDataDoes) {
    HttpResponse page = Call("GET", "/admin/");
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.body.find("令牌"), std::string::npos);
    EXPECT_EQ(Call("GET", "/admin/echarts.min.js").status, 200);
    EXPECT_EQ(Call("GET", "/admin/api/usage").status, 401);
    EXPECT_EQ(Call("GET", "/admin/missing.js").status, 404);
}

}  // namespace

namespace {

TEST(AdminConsoleProgram, AnUnusableTokenFileStopsTheServer) {
    TempDir work;
    work.Write("empty", "");
    work.Write("blank", "  \t \r\nsecond-line-token\n");
    const struct {
        const char* name;
        std::string file;
    } cases[] = {{"empty", work / "empty"},
                 {"blank first line", work / "blank"},
                 {"missing", work / "missing"}};
    for (const auto& c : cases) {
        ProgramRun run = RunProgram({DATASERVER_PATH, "--listen", "127.0.0.1:0", "--http",
                                     "127.0.0.1:0", "--www", FIXTURE_DIR "/www", "--db",
                                     work / "data.db", "--admin-token-file", c.file});
        EXPECT_EQ(run.exitCode, 1) << c.name;
        EXPECT_NE(run.err.find("--admin-token-file " + c.file), std::string::npos)
            << c.name << ": " << run.err;
    }
}

}  // namespace

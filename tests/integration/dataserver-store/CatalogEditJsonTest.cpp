// Catalog edits written as JSON in the seed's shape: every field read, stamps optional, and
// anything malformed refused with the record it is in.
#include <gtest/gtest.h>

#include "CatalogEditJson.h"

namespace {

using namespace dataserver;
using nlohmann::json;

TEST(CatalogEditJson, ReadsEveryFieldAndLeavesMissingStampsToThePublication) {
    CatalogEdit edit = EditFromJson(json::parse(R"({
        "games": [{"id": "101", "TITLE": "九州传说", "INFO": "i", "DOWNURL": "d", "EXENAME": "e",
                   "PNG": "p", "SITE": "s", "SHOWWEB": "w"}],
        "tools": [{"id": 20301, "GAMEID": 101, "TYPE": "191", "TITLE": "t", "VERSION": 2,
                   "SCALE": -3, "INFO": "i", "URL": "u", "EXENAME": "e", "PNGURL": "p",
                   "NOTE": "n", "TIME": 14}],
        "removals": [{"games": [9], "TIME": 31}, {"tools": ["20302"]}],
        "ranking": {"games": [{"id": 101, "position": 1}]},
        "version": {"version": "2.0", "sertime": 200, "clientadd": "c"}})"));
    ASSERT_EQ(edit.games.size(), 1u);
    EXPECT_EQ(ToJson(edit.games[0]), json::parse(R"({"id": 101, "TITLE": "九州传说", "INFO": "i",
        "DOWNURL": "d", "EXENAME": "e", "PNG": "p", "SITE": "s", "SHOWWEB": "w", "TIME": 0})"));
    ASSERT_EQ(edit.tools.size(), 1u);
    EXPECT_EQ(ToJson(edit.tools[0]), json::parse(R"({"id": 20301, "GAMEID": 101, "TYPE": 191,
        "TITLE": "t", "VERSION": "2", "SCALE": -3, "INFO": "i", "URL": "u", "EXENAME": "e",
        "PNGURL": "p", "NOTE": "n", "TIME": 14})"));
    ASSERT_EQ(edit.removals.size(), 2u);
    EXPECT_EQ(ToJson(edit.removals[0]), json::parse(R"({"games": [9], "tools": [], "TIME": 31})"));
    EXPECT_EQ(ToJson(edit.removals[1]),
              json::parse(R"({"games": [], "tools": [20302], "TIME": 0})"));
    ASSERT_TRUE(edit.ranking);
    EXPECT_EQ(edit.ranking->stamp, "");
    ASSERT_EQ(edit.ranking->entries.size(), 1u);
    EXPECT_EQ(edit.ranking->entries[0].gameId, 101u);
    ASSERT_TRUE(edit.version);
    EXPECT_EQ(edit.version->sertime, "200");
    // What ToJson writes reads back the same.
    EXPECT_EQ(ToJson(EditFromJson(json{{"tools", {ToJson(edit.tools[0])}}}).tools[0]),
              ToJson(edit.tools[0]));
}

TEST(CatalogEditJson, RefusesMalformedEditsNamingTheFault) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"([1, 2])", "a catalog edit is a JSON object"},
        {R"({"games": {"id": 1}})", "\"games\" is not a list"},
        {R"({"gmaes": []})", "unknown key \"gmaes\""},
        {R"({"games": [{"id": 5, "TITEL": "x"}]})", "game 5 has an unknown key \"TITEL\""},
        {R"({"games": [{"TITLE": "x"}]})", "game #1 has no \"id\""},
        {R"({"games": [{"id": -4, "TITLE": "x"}]})", "game -4 has \"id\" outside 1 to"},
        {R"({"games": [{"id": 4294967296, "TITLE": "x"}]})", "has \"id\" outside 1 to 4294967295"},
        {R"({"tools": [{"id": 7, "TYPE": "18x"}]})", "tool 7 has \"TYPE\" that is not a number"},
        {R"({"tools": [{"id": 7, "TYPE": 188, "TITLE": ["x"]}]})",
         "tool 7 has \"TITLE\" that is not a text"},
        {R"({"tools": [{"id": 7, "TYPE": 188, "TIME": 1.5}]})", "\"TIME\" that is not a number"},
        {R"({"removals": [{"games": 9}]})", "removal #1 has \"games\" that is not a list"},
        {R"({"removals": [{"tools": [0]}]})", "removal #1 has \"tools\" outside 1 to"},
        {R"({"ranking": {"games": [{"id": 1, "position": 0}]}})",
         "ranking entry #1 has \"position\" outside 1 to 99"},
        {R"({"version": {"version": "2", "sertime": "1", "clientadd": "c", "extra": 1}})",
         "the version has an unknown key \"extra\""},
    };
    for (const auto& [text, message] : cases) {
        SCOPED_TRACE(text);
        try {
            EditFromJson(json::parse(text));
            ADD_FAILURE() << "accepted";
        } catch (const StoreError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

}  // namespace

#include <gtest/gtest.h>

#include "catalog/GameRecord.h"
#include "catalog/ToolRecord.h"

using namespace catalog;

namespace {

ToolRecord Tool(uint32_t id) {
    ToolRecord t;
    t.id = id;
    t.type = kTypeProgram;
    return t;
}

GameRecord Game(uint32_t id, std::vector<uint32_t> toolIds) {
    GameRecord g;
    g.id = id;
    g.tools = std::make_shared<ToolList>();
    g.display = std::make_shared<ToolList>();
    g.display->push_back(Tool(FixedEntryId(id, kStartEntry)));
    for (uint32_t t : toolIds) {
        g.tools->push_back(Tool(t));
        g.display->push_back(Tool(t));
    }
    return g;
}

TEST(FindGame, FirstMatchAndNeverIdZero) {
    GameList games = {Game(0, {}), Game(5, {}), Game(5, {}), Game(9, {})};
    games[1].title = "first five";
    EXPECT_EQ(FindGame(games, 0), nullptr);
    ASSERT_NE(FindGame(games, 5), nullptr);
    EXPECT_EQ(FindGame(games, 5)->title, "first five");
    EXPECT_EQ(FindGame(games, 9), &games[3]);
    EXPECT_EQ(FindGame(games, 4), nullptr);
    EXPECT_EQ(FindGame(GameList{}, 5), nullptr);
}

TEST(FindGameOfTool, SearchesToolListsOnly) {
    GameList games = {Game(12, {300, 301}), Game(34, {301, 302}), Game(56, {})};
    games[2].tools.reset();
    EXPECT_EQ(FindGameOfTool(games, 301), &games[0]);
    EXPECT_EQ(FindGameOfTool(games, 302), &games[1]);
    EXPECT_EQ(FindGameOfTool(games, 999), nullptr);
    // Fixed entries live in display lists only.
    EXPECT_EQ(FindGameOfTool(games, FixedEntryId(12, kStartEntry)), nullptr);
    GameList none;
    EXPECT_EQ(FindGameOfTool(none, 300), nullptr);
}

TEST(FindTool, GivesOneBasedPositionOfFirstMatch) {
    ToolList list = {Tool(7), Tool(8), Tool(8), Tool(9)};
    list[1].title = "first eight";
    auto found = FindTool(list, 8);
    ASSERT_TRUE(found);
    EXPECT_EQ(found.position, 2u);
    EXPECT_EQ(found.record->title, "first eight");
    EXPECT_EQ(FindTool(list, 7).position, 1u);
    EXPECT_FALSE(FindTool(list, 10));
    EXPECT_EQ(FindTool(list, 10).position, 0u);
    EXPECT_FALSE(FindTool(ToolList{}, 7));
}

TEST(GameRecord, CopiesShareTheirToolLists) {
    GameRecord original = Game(12, {300});
    GameRecord copy = original;
    copy.title = "changed";
    copy.tools->push_back(Tool(301));
    (*copy.display)[0].installed = 1;
    EXPECT_NE(original.title, copy.title);
    EXPECT_EQ(original.tools->size(), 2u);
    EXPECT_EQ((*original.display)[0].installed, 1);
}

TEST(FixedEntries, IdsAndKinds) {
    EXPECT_EQ(FixedEntryId(1234, kStartEntry), 123411u);
    EXPECT_EQ(FixedEntryId(1234, kInfoEntry), 123444u);
    EXPECT_TRUE(IsStartEntry(123411));
    EXPECT_FALSE(IsStartEntry(123422));
    // A small game's entries fall under the bound and count as ordinary ids.
    EXPECT_FALSE(IsFixedEntry(FixedEntryId(999, kStartEntry)));
    EXPECT_FALSE(IsStartEntry(99911));
    EXPECT_TRUE(IsStartEntry(100011));
    for (uint32_t type : {0u, 186u, 193u}) {
        EXPECT_FALSE(IsValidToolType(type)) << type;
    }
    for (uint32_t type = 187; type <= 192; ++type) {
        EXPECT_TRUE(IsValidToolType(type)) << type;
        EXPECT_EQ(HasOwnIcon(type), type >= 191) << type;
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "SyncFixture.h"

namespace {

class RankingTest : public SyncFixture {
  protected:
    // The order the ranking reply asks for, as read from it.
    std::vector<std::pair<uint32_t, std::size_t>> Order(const server::SyncChanges& changes) {
        std::vector<std::pair<uint32_t, std::size_t>> order;
        for (const auto& change : changes.changes) {
            if (const auto* rank = std::get_if<server::RankGamesChange>(&change)) {
                for (const auto& game : rank->games) {
                    order.emplace_back(game.gameId, game.position);
                }
            }
        }
        return order;
    }
};

TEST_F(RankingTest, FirstClaimOfAPositionWinsAndOtherGamesStay) {
    StoreGames({56, 34, 12, 78});
    server::SyncChanges changes;
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", "12,1|34,1|56,2", "17"), changes));
    EXPECT_TRUE(changes.ranked);
    EXPECT_TRUE(changes.busyBox);
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{12, 56, 34, 78}));
    EXPECT_EQ(Setting("pxtime"), "17");
}

TEST_F(RankingTest, GamesArePutBackInAscendingOrderOfPosition) {
    StoreGames({1, 2, 3, 4, 5});
    server::SyncChanges changes;
    // Listed out of order; position 9 is beyond the list and appends.
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", "5,3|4,1|1,9", "2"), changes));
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{4, 2, 5, 3, 1}));
}

TEST_F(RankingTest, UnusableEntriesAreIgnored) {
    struct Case {
        const char* list;
        std::vector<std::pair<uint32_t, std::size_t>> order;
    } cases[] = {
        {"12", {}},                            // no comma
        {"0,1|12,2", {{12, 2}}},               // id 0
        {"12,0|34,2", {{34, 2}}},              // position 0
        {"12,100|34,99", {{34, 99}}},          // positions run from 1 to 99
        {"x,1|12,y|34,3", {{34, 3}}},          // no digits
        {"12,1|12,2", {{12, 1}, {12, 2}}},     // the same game twice: the apply takes the first
        {"12,5,7|34,2x", {{12, 5}, {34, 2}}},  // leading digits only
        {"", {}},
    };
    for (const auto& c : cases) {
        server::SyncChanges changes;
        ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", c.list, "2"), changes)) << c.list;
        EXPECT_EQ(Order(changes), c.order) << c.list;
    }
}

TEST_F(RankingTest, OnlyTheFirstFiftyEntriesAreRead) {
    std::string list;
    for (int k = 1; k <= 51; ++k) {
        if (k > 1) {
            list += '|';
        }
        list += std::to_string(k) + "," + std::to_string(k);
    }
    server::SyncChanges changes;
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", list, "2"), changes));
    auto order = Order(changes);
    ASSERT_EQ(order.size(), 50u);
    EXPECT_EQ(order.back(), (std::pair<uint32_t, std::size_t>{50, 50}));
}

TEST_F(RankingTest, SameGameTwiceGoesToItsFirstPosition) {
    StoreGames({12, 34, 56});
    server::SyncChanges changes;
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", "56,1|56,3|99,2", "2"), changes));
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{56, 12, 34}));
}

TEST_F(RankingTest, OnlyAnExactOneWithAllFieldsIsAChange) {
    struct Case {
        std::string reply;
        bool changed;
    } cases[] = {
        {Ranking("1", "12,1", "2"), true},
        {Ranking("0", "12,1", "2"), false},
        {Ranking(" 1", "12,1", "2"), false},
        {Ranking("1x", "12,1", "2"), false},
        {Ranking("1", "12,1", "2")
             .substr(0, Ranking("1", "12,1", "2").rfind(server::kFieldSeparator)),
         false},  // five fields: no stamp
        {"", false},
        {"garbage", false},
    };
    for (const auto& c : cases) {
        StoreGames({12, 34});
        catalog::WriteProfileKey(dir / "usercfg.dat", "ravikver", "pxtime", "1");
        server::SyncChanges changes;
        EXPECT_EQ(server::ApplyRankingReply(c.reply, changes), c.changed);
        EXPECT_EQ(changes.ranked, c.changed);
        EXPECT_EQ(changes.Empty(), !c.changed);
        if (!c.changed) {
            EXPECT_TRUE(changes.changes.empty());
        }
        ASSERT_TRUE(Apply(changes).ok());
        EXPECT_EQ(Setting("pxtime"), c.changed ? "2" : "1");
    }
}

TEST_F(RankingTest, ChangedRankingWithNoKnownGameStillWritesItsStamp) {
    StoreGames({12, 34});
    server::SyncChanges changes;
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", "99,1", "5"), changes));
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{12, 34}));
    EXPECT_EQ(Setting("pxtime"), "5");
}

TEST_F(RankingTest, RankingAppliesAfterTheCatalogRecordsOfTheSameSync) {
    StoreGames({1, 2});
    auto changes = Read(Reply({Game("3", "new", "", "40")}));
    ASSERT_TRUE(server::ApplyRankingReply(Ranking("1", "3,1", "6"), changes));
    dir.Write("GameIcon/3.png", "png");
    ASSERT_TRUE(Apply(changes).ok());
    EXPECT_EQ(GameIds(), (std::vector<uint32_t>{3, 1, 2}));
    EXPECT_EQ(Setting("lasttime"), "40");
    EXPECT_EQ(Setting("pxtime"), "6");
}

}  // namespace

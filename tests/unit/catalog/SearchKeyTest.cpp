#include <gtest/gtest.h>

#include <string>

#include "catalog/Pinyin.h"
#include "catalog/SearchKey.h"

namespace {

using catalog::SearchKey;

struct MatchCase {
    const char* title;
    const char* typed;
    bool matches;
};

// Every way of typing a title the search box accepts, and near misses that must stay out.
const MatchCase kMatchCases[] = {
    // Chinese and Latin substrings; Latin letters without regard to case or width.
    {"剑影江湖", "影江", true},
    {"剑影江湖", "江影", false},
    {"WindTool 助手", "tool", true},
    {"WindTool 助手", "TOOL 助", true},
    {"WindTool 助手", "ｔｏｏｌ", true},
    {"WindTool 助手", "tools", false},
    // Pinyin initials, anywhere in the title, in either case.
    {"剑影江湖", "jyjh", true},
    {"剑影江湖", "yjh", true},
    {"剑影江湖", "JYJH", true},
    {"剑影江湖", "jyh", false},  // 江 skipped
    {"剑影江湖", "jyjx", false},
    // Whole syllables, cut syllables and a mix of both.
    {"剑影江湖", "jianying", true},
    {"剑影江湖", "jianyingjianghu", true},
    {"剑影江湖", "jiany", true},
    {"剑影江湖", "jianyj", true},
    {"剑影江湖", "ian", false},  // a syllable is matched from its start
    {"剑影江湖", "jianyingjianghuo", false},
    {"中华英雄", "zhhyx", true},
    {"中华英雄", "zhonghuayx", true},
    // Characters and pinyin mixed; a space between syllables.
    {"剑影江湖", "剑yjh", true},
    {"剑影江湖", "jy江湖", true},
    {"剑影江湖", "jian ying", true},
    {"剑影江湖", "剑 影", true},
    {"QQ飞车", "qqfc", true},
    {"QQ飞车", "qq fei", true},
    {"天龙八部3", "tlbb3", true},
    // ü is typed "v" or "u".
    {"绿色征途", "lvse", true},
    {"绿色征途", "luse", true},
    // Nothing typed finds everything; a title without Chinese has no pinyin.
    {"剑影江湖", "", true},
    {"Zhong", "zh", true},
    {"Zhong", "zg", false},
};

TEST(SearchKey, MatchesTitlesAsTyped) {
    for (const MatchCase& c : kMatchCases) {
        EXPECT_EQ(SearchKey(c.title).Matches(SearchKey::Query(c.typed)), c.matches)
            << c.title << " / " << c.typed;
    }
}

TEST(SearchKey, QueryDropsOuterSpacesAndFoldsLikeTitles) {
    EXPECT_EQ(SearchKey::Query("  JyJh　"), U"jyjh");  // ends in an ideographic space
    EXPECT_EQ(SearchKey::Query("   "), U"");
    EXPECT_EQ(SearchKey::Query("剑 Ｙ"), U"剑 y");
}

TEST(SearchKey, LongQueryIsMatchedAsText) {
    const std::string title(70, 'a');
    EXPECT_TRUE(SearchKey(title + "b").Matches(SearchKey::Query(std::string(66, 'A') + "b")));
    EXPECT_FALSE(SearchKey(title).Matches(SearchKey::Query(std::string(66, 'a') + "b")));
}

TEST(SearchKey, MalformedUtf8StillMatchesItsReadableParts) {
    EXPECT_TRUE(SearchKey("ab\xFF\xC3wind").Matches(SearchKey::Query("wind")));
    EXPECT_TRUE(SearchKey("剑\xE5\x89").Matches(SearchKey::Query("j")));
    EXPECT_FALSE(SearchKey("\xE5\x89").Matches(SearchKey::Query("j")));
}

// The table comes from ICU at build time; these readings show it is the right one and that
// ü and characters outside the block are handled.
TEST(Pinyin, TableGivesOneToneLessReading) {
    EXPECT_EQ(catalog::PinyinOf(U'剑'), "jian");
    EXPECT_EQ(catalog::PinyinOf(U'一'), "yi");  // first of the block
    EXPECT_EQ(catalog::PinyinOf(U'绿'), "lv");
    EXPECT_EQ(catalog::PinyinOf(U'女'), "nv");
    EXPECT_EQ(catalog::PinyinOf(U'a'), "");
    EXPECT_EQ(catalog::PinyinOf(U'\u3400'), "");  // Extension A is not carried
}

}  // namespace

#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace {

struct Case {
    const char* utf8;
    const char* gbk;
};

TEST(CodePage, Utf8AndGbkRoundTrip) {
    const Case cases[] = {
        {"", ""},
        {"abc|123", "abc|123"},
        {"\xE5\x90\xAF\xE5\x8A\xA8\xE6\xB8\xB8\xE6\x88\x8F", "\xC6\xF4\xB6\xAF\xD3\xCE\xCF\xB7"},  // 启动游戏
        {"\xEF\xBC\x8C", "\xA3\xAC"},  // full-width comma
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.gbk) << c.utf8;
        EXPECT_EQ(platform::AnsiToUtf8(c.gbk), c.utf8) << c.utf8;
    }
}

TEST(CodePage, CharacterOutsideGbkBecomesQuestionMarkInsteadOfFailing) {
    // U+1F600 (an emoji) has no GBK form; the rest of the text must survive.
    EXPECT_EQ(platform::Utf8ToAnsi("a\xF0\x9F\x98\x80z"), "a?z");
}

TEST(CodePage, InvalidBytesBecomeReplacementCharacter) {
    EXPECT_EQ(platform::AnsiToUtf8(std::string("x\xFF", 2)), "x\xEF\xBF\xBD");
    // A lead byte cut off at the end of the input.
    EXPECT_EQ(platform::AnsiToUtf8(std::string("y\xC6", 2)), "y\xEF\xBF\xBD");
}

TEST(CodePage, Utf16Conversion) {
    std::string out;
    ASSERT_TRUE(platform::ConvertFromUtf8("A\xE4\xB8\xAD", "UTF-16LE", out));
    EXPECT_EQ(out, std::string("A\0\x2D\x4E", 4));
    std::string back;
    ASSERT_TRUE(platform::ConvertToUtf8(out, "UTF-16LE", back));
    EXPECT_EQ(back, "A\xE4\xB8\xAD");
    EXPECT_FALSE(platform::ConvertToUtf8("x", "NO-SUCH-ENCODING", back));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Utf8.h"

namespace {

// The steps a walk takes through `text`: each character's length, 0 for an invalid byte.
std::vector<std::size_t> Steps(std::string_view text) {
    std::vector<std::size_t> steps;
    while (!text.empty()) {
        platform::Utf8Char c = platform::DecodeUtf8Char(text);
        steps.push_back(c.valid ? c.length : 0);
        text.remove_prefix(c.length);
    }
    return steps;
}

struct Utf8Case {
    const char* what;
    std::string text;
    std::vector<std::size_t> steps;  // 0: an invalid byte, taken alone
    std::size_t utf16Units;
    bool valid;
};

TEST(Utf8, EachInvalidByteIsOneReplacementCharacter) {
    const Utf8Case cases[] = {
        {"empty", "", {}, 0, true},
        {"ASCII", "abc", {1, 1, 1}, 3, true},
        {"two-byte character", "\xC3\xA9", {2}, 1, true},
        {"three-byte characters", "游戏", {3, 3}, 2, true},
        {"four-byte character: a surrogate pair", "\xF0\x9F\x98\x80", {4}, 2, true},
        {"the last code point", "\xF4\x8F\xBF\xBF", {4}, 2, true},
        {"a noncharacter is still a character", "\xEF\xBF\xBE", {3}, 1, true},
        {"truncated at the end", "a\xE6\xB8", {1, 0, 0}, 3, false},
        {"truncated four-byte", "\xF0\x9F\x98", {0, 0, 0}, 3, false},
        {"truncated before ASCII", "\xE6\xB8z", {0, 0, 1}, 3, false},
        {"lead byte before a new lead", "\xE6\xE6\xB8\xB8", {0, 3}, 2, false},
        {"lone continuation byte", "a\x80z", {1, 0, 1}, 3, false},
        {"overlong two-byte", "\xC0\xAF", {0, 0}, 2, false},
        {"overlong three-byte", "\xE0\x80\xAF", {0, 0, 0}, 3, false},
        {"overlong four-byte", "\xF0\x80\x80\xAF", {0, 0, 0, 0}, 4, false},
        {"surrogate encoded in UTF-8", "\xED\xA0\x80", {0, 0, 0}, 3, false},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", {0, 0, 0, 0}, 4, false},
        {"bytes no UTF-8 uses", "\xFF\xFE", {0, 0}, 2, false},
        {"five-byte form", "\xF8\x88\x80\x80\x80", {0, 0, 0, 0, 0}, 5, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Steps(c.text), c.steps) << c.what;
        EXPECT_EQ(platform::Utf16Length(c.text), c.utf16Units) << c.what;
        EXPECT_EQ(platform::IsValidUtf8(c.text), c.valid) << c.what;
    }
}

TEST(Utf8, DecodesCodePoints) {
    struct Case {
        std::string text;
        char32_t codePoint;
    } cases[] = {
        {"A", U'A'},
        {"\xC3\xA9", U'\u00E9'},
        {"\xE6\xB8\xB8", U'\u6E38'},
        {"\xF0\x9F\x98\x80", U'\U0001F600'},
        {"\x80", platform::kReplacementCharacter},
        {"\xED\xA0\x80", platform::kReplacementCharacter},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::DecodeUtf8Char(c.text).codePoint, c.codePoint) << c.text;
    }
    EXPECT_EQ(platform::DecodeUtf8Char("").length, 0u);
}

TEST(Utf8, ValidationLooksPastLongAsciiRuns) {
    const std::string ascii(100, 'x');
    EXPECT_TRUE(platform::IsValidUtf8(ascii + "游" + ascii));
    EXPECT_FALSE(platform::IsValidUtf8(ascii + "\xC0\xAF" + ascii));
    EXPECT_FALSE(platform::IsValidUtf8(ascii + "\xE6"));
}

}  // namespace

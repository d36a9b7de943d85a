#include <gtest/gtest.h>

#include "platform/CodePage.h"

namespace {

// The data server's code page, GBK, whatever the system's is; put back afterwards.
class GbkCodePage : public ::testing::Test {
  protected:
    void SetUp() override { platform::SetAnsiCodePage("CP936"); }
    void TearDown() override { platform::SetAnsiCodePage(saved_); }

  private:
    std::string saved_ = platform::AnsiCodePage();
};

TEST_F(GbkCodePage, Utf8AndGbkRoundTrip) {
    struct Case {
        const char* utf8;
        const char* gbk;
    };
    const Case cases[] = {
        {"", ""},
        {"abc|123", "abc|123"},
        {"\xE5\x90\xAF\xE5\x8A\xA8\xE6\xB8\xB8\xE6\x88\x8F",
         "\xC6\xF4\xB6\xAF\xD3\xCE\xCF\xB7"},  // 启动游戏
        {"\xEF\xBC\x8C", "\xA3\xAC"},          // full-width comma
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.gbk) << c.utf8;
        EXPECT_EQ(platform::AnsiToUtf8(c.gbk), c.utf8) << c.utf8;
    }
}

TEST_F(GbkCodePage, CharacterOutsideGbkBecomesOneQuestionMarkInsteadOfFailing) {
    struct Case {
        const char* utf8;
        const char* gbk;
    };
    const Case cases[] = {
        {"a\xF0\x9F\x98\x80z", "a?z"},                  // U+1F600, beyond the basic plane
        {"a\xE0\xB8\x81z", "a?z"},                      // U+0E01, a Thai letter
        {"\xE6\xB8\xB8\xF0\x9F\x98\x80", "\xD3\xCE?"},  // 游 and U+1F600
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.gbk) << c.utf8;
    }
}

// Text that is not valid UTF-8 goes out with one default character for each invalid byte, as
// platform/Utf8.h counts it.
TEST_F(GbkCodePage, EachInvalidUtf8ByteBecomesOneQuestionMark) {
    struct Case {
        const char* what;
        const char* utf8;
        const char* gbk;
    };
    const Case cases[] = {
        {"truncated at the end", "a\xE6\xB8", "a??"},
        {"broken by ASCII", "a\xE6\xB8z", "a??z"},
        {"lead byte before a whole character", "\xE6\xE6\xB8\xB8", "?\xD3\xCE"},
        {"lone continuation byte", "a\x80z", "a?z"},
        {"overlong form", "\xC0\xAFz", "??z"},
        {"surrogate encoded in UTF-8", "\xED\xA0\x80z", "???z"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "????"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.gbk) << c.what;
    }
#ifndef _WIN32
    // iconv writes its own default character into UTF-16 too.
    std::string utf16;
    ASSERT_TRUE(platform::ConvertFromUtf8("\xE6\xB8z", "UTF-16LE", utf16));
    EXPECT_EQ(utf16, std::string("?\0?\0z\0", 6));
#endif
}

TEST_F(GbkCodePage, InvalidBytesBecomeReplacementCharacter) {
    struct Case {
        std::string gbk;
        const char* utf8;
    };
    const Case cases[] = {
        {std::string("y\xC6", 2), "y\xEF\xBF\xBD"},      // a lead byte cut off at the end
        {std::string("x\x81 z", 4), "x\xEF\xBF\xBD z"},  // a lead byte before a space
        {std::string("\xC6\xF4\x81", 3), "\xE5\x90\xAF\xEF\xBF\xBD"},  // 启 survives
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::AnsiToUtf8(c.gbk), c.utf8) << c.utf8;
    }
}

TEST(CodePage, NamedEncodingsRoundTrip) {
    struct Case {
        const char* encoding;
        const char* utf8;
        std::string bytes;
        bool everywhere = true;  // false: not every system has it (Wine lacks GB18030)
    };
    const Case cases[] = {
        {"GBK", "\xE6\xB8\xB8\xE6\x88\x8F", "\xD3\xCE\xCF\xB7"},  // 游戏
        {"gbk", "\xE6\xB8\xB8\xE6\x88\x8F", "\xD3\xCE\xCF\xB7"},
        {"CP936", "\xE6\xB8\xB8\xE6\x88\x8F", "\xD3\xCE\xCF\xB7"},
        {"GB18030", "\xF0\x9F\x98\x80", "\x94\x39\xFC\x36", false},  // U+1F600 has a form
        {"BIG5", "\xE4\xB8\xAD", "\xA4\xA4"},                        // 中
        {"SHIFT_JIS", "\xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0", "\x83\x51\x81\x5B\x83\x80"},
        {"UTF-16LE", "A\xE4\xB8\xAD", std::string("A\0\x2D\x4E", 4)},
        {"UTF-16BE", "A\xE4\xB8\xAD", std::string("\0A\x4E\x2D", 4)},
        {"UTF-16LE", "\xF0\x9F\x98\x80", std::string("\x3D\xD8\x00\xDE", 4)},  // surrogates
    };
    for (const Case& c : cases) {
        std::string encoded;
        const bool known = platform::ConvertFromUtf8(c.utf8, c.encoding, encoded);
        if (!known && !c.everywhere) {
            continue;
        }
        ASSERT_TRUE(known) << c.encoding;
        EXPECT_EQ(encoded, c.bytes) << c.encoding;
        std::string decoded;
        ASSERT_TRUE(platform::ConvertToUtf8(c.bytes, c.encoding, decoded)) << c.encoding;
        EXPECT_EQ(decoded, c.utf8) << c.encoding;
    }
}

TEST(CodePage, UnknownEncodingIsRefused) {
    std::string out;
    EXPECT_FALSE(platform::ConvertToUtf8("x", "NO-SUCH-ENCODING", out));
    EXPECT_FALSE(platform::ConvertFromUtf8("x", "NO-SUCH-ENCODING", out));
}

}  // namespace

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "server/Frame.h"
#include "server/Message.h"

namespace {

// Test texts write the field separator as '|'.
std::string Bars(std::string text) {
    for (char& c : text) {
        if (c == '|') {
            c = server::kFieldSeparator;
        }
    }
    return text;
}

const std::string kMac = "0-1a-2b-3c-4d-5e";
const std::string kIp = "192.168.1.2";
const std::string kTime = "2011-09-19 08:05:03";
// The three feedback reasons together: 14 characters, 28 bytes in GBK.
const std::string kAllReasons = "无法运行，需要更新，杀软报毒";

struct MessageCase {
    const char* name;
    server::Message message;
    std::string mac;
    std::vector<std::string> fields;
    std::size_t extra;
    std::string expected;
};

class MessageBytes : public ::testing::TestWithParam<MessageCase> {};

// Each message with its exact fields and trailing separator; the length field counts every
// character of the frame, which for these frames is also the number of bytes on the wire.
TEST_P(MessageBytes, FrameAndLengthAreExact) {
    const MessageCase& c = GetParam();
    std::string frame = server::BuildMessage(c.message, c.mac, kIp, c.fields, c.extra);
    EXPECT_EQ(frame, Bars(c.expected));
    std::string wire = server::EncodeFrame(frame);
    ASSERT_GE(wire.size(), 2u);
    EXPECT_EQ(std::to_string(wire.size() - 2), std::to_string(std::stoul(frame.substr(3, 10))))
        << "the length field must equal the encoded byte count";
}

INSTANTIATE_TEST_SUITE_P(
    Messages, MessageBytes,
    ::testing::Values(
        MessageCase{"RankingQuery",
                    server::Message::RankingQuery,
                    kMac,
                    {"0"},
                    0,
                    "^9|0000000045|0-1a-2b-3c-4d-5e|192.168.1.2|0~"},
        MessageCase{"RankingQueryShortMac",
                    server::Message::RankingQuery,
                    "0-1a-2b-3-4d-5e",
                    {"0"},
                    0,
                    "^9|0000000044|0-1a-2b-3-4d-5e|192.168.1.2|0~"},
        MessageCase{"VersionCheck",
                    server::Message::VersionCheck,
                    kMac,
                    {"20110919", "1.0.3"},
                    0,
                    "^1|0000000058|0-1a-2b-3c-4d-5e|192.168.1.2|20110919|1.0.3~"},
        MessageCase{"VersionCheckEmpty",
                    server::Message::VersionCheck,
                    kMac,
                    {"", ""},
                    0,
                    "^1|0000000045|0-1a-2b-3c-4d-5e|192.168.1.2||~"},
        MessageCase{"StartReport",
                    server::Message::StartReport,
                    kMac,
                    {kTime, "0"},
                    0,
                    "^2|0000000066|0-1a-2b-3c-4d-5e|192.168.1.2|2011-09-19 08:05:03|0|~"},
        MessageCase{"CatalogQuery",
                    server::Message::CatalogQuery,
                    kMac,
                    {"900"},
                    0,
                    "^3|0000000048|0-1a-2b-3c-4d-5e|192.168.1.2|900|~"},
        MessageCase{"CatalogQueryFirstTime",
                    server::Message::CatalogQuery,
                    kMac,
                    {""},
                    0,
                    "^3|0000000045|0-1a-2b-3c-4d-5e|192.168.1.2||~"},
        MessageCase{"RunReport",
                    server::Message::RunReport,
                    kMac,
                    {"20301", "0", "191", kTime},
                    0,
                    "^8|0000000075|0-1a-2b-3c-4d-5e|192.168.1.2|20301|0|191|2011-09-19 08:05:03~"},
        MessageCase{"FeedbackCountsReasonTwice",
                    server::Message::Feedback,
                    kMac,
                    {kTime, "0", "20301", kAllReasons},
                    14,
                    "^4|0000000101|0-1a-2b-3c-4d-5e|192.168.1.2|2011-09-19 08:05:03|0|20301|"
                    "无法运行，需要更新，杀软报毒|~"},
        MessageCase{"EmptyIdentity",
                    server::Message::RankingQuery,
                    "",
                    {"0"},
                    0,
                    "^9|0000000029||192.168.1.2|0~"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Frame, LengthFieldIsPaddedToTenDigitsAndWrittenWhole) {
    EXPECT_EQ(server::BuildFrame('1', {}, false), Bars("^1|0000000014~"));
    // Beyond ten digits the number is written as it is.
    std::string frame = server::BuildFrame('1', {}, false, 10000000000ULL);
    EXPECT_EQ(frame, Bars("^1|10000000014~"));
}

TEST(Frame, WireBytesEndWithEndMarkAndTwoZeroBytes) {
    std::string wire =
        server::EncodeFrame(server::BuildMessage(server::Message::RankingQuery, kMac, kIp, {"0"}));
    ASSERT_GE(wire.size(), 3u);
    EXPECT_EQ(wire.substr(wire.size() - 3), std::string("~\0\0", 3));
    EXPECT_EQ(wire.find('\0'), wire.size() - 2);
}

TEST(Frame, WireBytesAreInTheAnsiCodePage) {
    // "无" is CE DE in GBK.
    EXPECT_EQ(server::EncodeFrame("无"), std::string("\xCE\xDE\0\0", 4));
    // A character GBK lacks becomes the default character; the frame still goes out.
    EXPECT_EQ(server::EncodeFrame("a\xF0\x9F\x98\x80z"), std::string("a?z\0\0", 5));
}

TEST(Frame, Utf16LengthCountsCodeUnits) {
    struct Case {
        std::string text;
        std::size_t units;
    } cases[] = {
        {"", 0},           {"abc", 3},
        {kAllReasons, 14}, {"\xF0\x9F\x98\x80", 2},  // beyond the basic plane: a surrogate pair
        {"\xFF\xFE", 2},                             // not UTF-8: one unit per byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server::Utf16Length(c.text), c.units) << c.text;
    }
}

// Every invalid byte is one unit in the length field and one default character on the wire,
// so the length field still equals the encoded byte count. (Windows converts to the code
// page through the system, which takes a cut or surrogate sequence as one character.)
TEST(Frame, BadBytesCountAsOneUnitAndGoOutAsOneCharacter) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t units;
        std::string wire;
    } cases[] = {
        {"truncated sequence", "a\xE6\xB8", 3, "a??"},
        {"truncated before ASCII", "\xE6\xB8z", 3, "??z"},
        {"lone continuation byte", "a\x80z", 3, "a?z"},
        {"overlong form", "\xC0\xAF", 2, "??"},
        {"surrogate encoded in UTF-8", "\xED\xA0\x80", 3, "???"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", 4, "????"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server::Utf16Length(c.text), c.units) << c.what;
#ifndef _WIN32
        EXPECT_EQ(server::EncodeFrame(c.text), c.wire + std::string(2, '\0')) << c.what;
        std::string frame = server::BuildFrame('9', {c.text}, false);
        EXPECT_EQ(server::EncodeFrame(frame).size() - 2, std::stoul(frame.substr(3, 10))) << c.what;
#endif
    }
}

TEST(Frame, ReportTimeHasFixedWidths) {
    struct Case {
        int year, month, day, hour, minute, second;
        const char* expected;
    } cases[] = {
        {2011, 9, 19, 8, 5, 3, "2011-09-19 08:05:03"},
        {2024, 12, 31, 23, 59, 59, "2024-12-31 23:59:59"},
        {2000, 1, 1, 0, 0, 0, "2000-01-01 00:00:00"},
    };
    for (const auto& c : cases) {
        std::tm local{};
        local.tm_year = c.year - 1900;
        local.tm_mon = c.month - 1;
        local.tm_mday = c.day;
        local.tm_hour = c.hour;
        local.tm_min = c.minute;
        local.tm_sec = c.second;
        EXPECT_EQ(server::FormatReportTime(local), c.expected);
    }
    std::string now = server::FormatReportTime();
    ASSERT_EQ(now.size(), 19u);
    EXPECT_EQ(now[4], '-');
    EXPECT_EQ(now[10], ' ');
    EXPECT_EQ(now[13], ':');
}

TEST(Frame, SplitFieldsKeepsEmptyFields) {
    struct Case {
        std::string text;
        std::vector<std::string> fields;
    } cases[] = {
        {"a|b||c|", {"a", "b", "", "c", ""}},
        {"", {""}},
        {"abc", {"abc"}},
        {"|", {"", ""}},
        {"||a", {"", "", "a"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server::SplitFields(Bars(c.text), server::kFieldSeparator), c.fields) << c.text;
    }
    EXPECT_EQ(server::SplitFields("12,1|34,1", '|'), (std::vector<std::string>{"12,1", "34,1"}));
}

TEST(Frame, DecodeReplyStopsAtTheFirstZeroByte) {
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {std::string("ab\0cd", 5), "ab"}, {"abc", "abc"},  // no terminator: everything received
        {std::string("\0abc", 4), ""},    {"\xCE\xDE", "无"},
        {"a\x81", "a\xEF\xBF\xBD"},  // a cut double-byte character becomes U+FFFD
    };
    for (const auto& c : cases) {
        EXPECT_EQ(server::DecodeReply(c.bytes), c.text);
    }
}

}  // namespace

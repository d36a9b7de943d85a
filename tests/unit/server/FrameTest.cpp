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
// so the length field still equals the encoded byte count.
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
        EXPECT_EQ(server::EncodeFrame(c.text), c.wire + std::string(2, '\0')) << c.what;
        std::string frame = server::BuildFrame('9', {c.text}, false);
        EXPECT_EQ(server::EncodeFrame(frame).size() - 2, std::stoul(frame.substr(3, 10))) << c.what;
    }
}

struct RoundTripCase {
    const char* what;
    char code;
    std::vector<std::string> fields;
    bool trailingSeparator;
    std::size_t extraLength;
};

// ParseFrame gives back exactly what BuildFrame was given.
TEST(Frame, ParseFrameIsTheInverseOfBuildFrame) {
    const RoundTripCase cases[] = {
        {"no fields", '1', {}, false, 0},
        {"no fields, trailing separator", '1', {}, true, 0},
        {"ranking query", '9', {kMac, kIp, "0"}, false, 0},
        {"start report", '2', {kMac, kIp, kTime, "0"}, true, 0},
        {"empty last field, trailing separator", '3', {kMac, kIp, ""}, true, 0},
        {"empty last field", '1', {kMac, kIp, "", ""}, false, 0},
        {"all fields empty", '8', {"", "", "", "", "", ""}, false, 0},
        // The feedback counts its reason twice.
        {"feedback", '4', {kMac, kIp, kTime, "0", "20301", kAllReasons}, true, 14},
        {"beyond the basic plane", '8', {"\xF0\x9F\x98\x80", "游戏"}, false, 0},
        {"marks inside fields", '9', {"a~b", "^", "~"}, false, 0},
        {"records in one field", '3', {"2\x12x\x12y\x12"}, false, 0},
        {"the longest ten-digit length", '1', {"x"}, false, 9999999999ULL - 16},
    };
    for (const auto& c : cases) {
        std::string frame =
            server::BuildFrame(c.code, c.fields, c.trailingSeparator, c.extraLength);
        server::ParsedFrame parsed = server::ParseFrame(frame, c.trailingSeparator);
        ASSERT_TRUE(parsed.Ok()) << c.what << ": " << parsed.problem;
        EXPECT_EQ(parsed.code, c.code) << c.what;
        EXPECT_EQ(parsed.fields, c.fields) << c.what;
        EXPECT_EQ(parsed.extraLength, c.extraLength) << c.what;
    }
}

// The frames the data server refuses for their shape, with the reason it logs.
TEST(Frame, ParseFrameRefusesMalformedFrames) {
    struct Case {
        const char* what;
        std::string text;
        bool trailingSeparator;
        std::string problem;
    } cases[] = {
        {"empty", "", false, "not a frame"},
        {"not a frame", "hello", false, "not a frame"},
        {"a lone start mark", "^", false, "not a frame"},
        {"no start mark", Bars("9|0000000019|m|i|0~"), false, "not a frame"},
        {"no separator after the code", Bars("^90000000019|m|i|0~"), false, "not a frame"},
        {"no end mark", Bars("^9|0000000019|m|i|0"), false, "not a frame"},
        {"no length field", Bars("^9|~"), false, "bad length field"},
        {"length not digits", Bars("^9|00000000xx|m|i|0~"), false, "bad length field"},
        {"nine length digits", Bars("^9|000000019|m|i|0~"), false, "bad length field"},
        {"twenty length digits", Bars("^9|" + std::string(18, '0') + "30|m|i|0~"), false,
         "bad length field"},
        {"length beyond any number", Bars("^9|" + std::string(25, '9') + "|m|i|0~"), false,
         "bad length field"},
        {"no trailing separator", Bars("^2|0000000030|m|i|2011-09-19 08:05:03|0~"), true,
         "the trailing separator is missing"},
        {"no fields for the trailing separator", Bars("^2|0000000014~"), true,
         "the trailing separator is missing"},
        {"length below the frame's characters", Bars("^9|0000000017|m|i~"), false,
         "the length field says 0000000017, the frame has 18"},
    };
    for (const auto& c : cases) {
        server::ParsedFrame parsed = server::ParseFrame(c.text, c.trailingSeparator);
        EXPECT_FALSE(parsed.Ok()) << c.what;
        EXPECT_EQ(parsed.problem, c.problem) << c.what;
    }
}

// What the length field counts beyond the frame is handed back, so the receiver can tell a
// feedback's doubled reason from a wrong length; ten to nineteen digits are all read.
TEST(Frame, ParseFrameHandsBackWhatTheLengthCountsBeyondTheFrame) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t extraLength;
    } cases[] = {
        {"exact", Bars("^9|0000000020|m|i|0~"), 0},
        {"too large", Bars("^9|0000000099|m|i|0~"), 79},
        {"twelve digits", Bars("^9|000000000022|m|i|0~"), 0},
        {"nineteen digits", Bars("^9|" + std::string(17, '0') + "29|m|i|0~"), 0},
    };
    for (const auto& c : cases) {
        server::ParsedFrame parsed = server::ParseFrame(c.text, false);
        ASSERT_TRUE(parsed.Ok()) << c.what << ": " << parsed.problem;
        EXPECT_EQ(parsed.code, '9') << c.what;
        EXPECT_EQ(parsed.fields, (std::vector<std::string>{"m", "i", "0"})) << c.what;
        EXPECT_EQ(parsed.extraLength, c.extraLength) << c.what;
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

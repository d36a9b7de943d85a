// ravik-dataserver's own behaviour towards clients that do not follow the protocol.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Programs.h"
#include "server/Frame.h"
#include "server/Message.h"
#include "server/Socket.h"

namespace {

using namespace std::chrono_literals;

std::string Bars(std::string text) {
    for (char& c : text) {
        if (c == '|') {
            c = server::kFieldSeparator;
        }
    }
    return text;
}

// Sends raw bytes and returns what came back before the server closed.
server::Received Exchange(int port, const std::string& bytes) {
    server::Socket socket;
    if (!socket.Connect("127.0.0.1", port, 5s)) {
        return {};
    }
    socket.SendAll(bytes, 5s);
    return socket.Receive(1 << 20, 30s, false);
}

TEST(DataServerRoad, MalformedFramesAreAnsweredWithNothingAndLogged) {
    TempDir data;
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    const std::string zeros(2, '\0');
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"not a frame", "hello" + zeros},
        {"unknown code", Bars("^7|0000000017|a|b~") + zeros},
        {"wrong length", Bars("^9|0000000099|m|i|0~") + zeros},
        {"no trailing separator", Bars("^2|0000000030|m|i|2011-09-19 08:05:03|0~") + zeros},
        {"too few fields", Bars("^9|0000000017|m|i~") + zeros},
        {"length not digits", Bars("^9|00000000xx|m|i|0~") + zeros},
        {"length beyond any number", Bars("^9|" + std::string(25, '9') + "|m|i|0~") + zeros},
        {"run report id not a number",
         server::EncodeFrame(
             server::BuildMessage(server::Message::RunReport, "m", "i", {"abc", "0", "187", "t"}))},
        {"no end mark", Bars("^9|0000000019|m|i|0") + zeros},
        // In GBK 81 7E is one character, so the frame has no end mark of its own.
        {"end mark inside a double-byte character", Bars("^9|0000000019|m|i|\x81~") + zeros},
        {"twenty length digits", Bars("^9|" + std::string(18, '0') + "30|m|i|0~") + zeros},
        {"feedback whose length counts its reason once",
         server::EncodeFrame(server::BuildMessage(server::Message::Feedback, "m", "i",
                                                  {"t", "0", "20301", "无法运行"}))},
        {"endless bytes without a terminator", std::string(40000, 'a')},
        {"a lone start mark", "^" + zeros},
    };
    for (const auto& c : cases) {
        server::Received reply = Exchange(server.Port(), c.bytes);
        EXPECT_EQ(reply.bytes, "") << c.name;
    }
    std::string log = server.Log();
    std::size_t logged = 0;
    for (auto at = log.find("not answered"); at != std::string::npos;
         at = log.find("not answered", at + 1)) {
        ++logged;
    }
    EXPECT_EQ(logged, std::size(cases)) << log;

    // The server is still there for a proper request.
    std::string ranking =
        server::EncodeFrame(server::BuildMessage(server::Message::RankingQuery, "m", "i", {"0"}));
    std::string text = server::DecodeReply(Exchange(server.Port(), ranking).bytes);
    std::vector<std::string> fields = server::SplitFields(text, server::kFieldSeparator);
    ASSERT_GE(fields.size(), 6u) << text;
    EXPECT_EQ(fields[3], "1");
    EXPECT_EQ(fields[4], "103,1|101,2");
    EXPECT_EQ(fields[5], "7");
}

// The length field may have up to nineteen digits; each of them is a character of the frame.
TEST(DataServerRoad, LengthFieldsOfTenToNineteenDigitsAreRead) {
    TempDir data;
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    const std::string zeros(2, '\0');
    for (const std::string& length :
         {std::string("0000000020"), std::string("000000000022"), std::string(17, '0') + "29"}) {
        std::string text = server::DecodeReply(
            Exchange(server.Port(), Bars("^9|" + length + "|m|i|0~") + zeros).bytes);
        std::vector<std::string> fields = server::SplitFields(text, server::kFieldSeparator);
        ASSERT_GE(fields.size(), 6u) << length << ": " << text;
        EXPECT_EQ(fields[4], "103,1|101,2") << length;
    }
}

TEST(DataServerRoad, RepliesHaveTheFieldsTheClientReads) {
    TempDir data;
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json");
    struct Case {
        const char* name;
        server::Message message;
        std::vector<std::string> fields;
        std::vector<std::string> expected;  // reply fields from position 3 on
    } cases[] = {
        {"older version",
         server::Message::VersionCheck,
         {"100", "1.0"},
         {"1", "200", "2.0", server.HttpBase() + "/setup/Ravik_2.0.zip"}},
        {"same version", server::Message::VersionCheck, {"200", "2.0"}, {"0"}},
        {"ranking known", server::Message::RankingQuery, {"7"}, {"0"}},
        {"start report", server::Message::StartReport, {"2011-09-19 08:05:03", "0", ""}, {"1"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> fields = c.fields;
        if (c.message == server::Message::StartReport) {
            fields.pop_back();
        }
        std::string text = server::DecodeReply(
            Exchange(server.Port(),
                     server::EncodeFrame(server::BuildMessage(c.message, "m", "i", fields)))
                .bytes);
        std::vector<std::string> got = server::SplitFields(text, server::kFieldSeparator);
        ASSERT_GT(got.size(), 3 + c.expected.size()) << c.name << ": " << text;
        EXPECT_EQ(std::vector<std::string>(got.begin() + 3, got.begin() + 3 + c.expected.size()),
                  c.expected)
            << c.name;
    }
}

}  // namespace

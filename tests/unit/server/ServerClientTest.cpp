#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "FakeDataServer.h"
#include "server/Frame.h"
#include "server/ServerClient.h"

namespace {

using namespace std::chrono_literals;

server::ClientIdentity FixedIdentity() {
    return {[] { return std::string("0-1a-2b-3c-4d-5e"); },
            [] { return std::string("192.168.1.2"); }};
}

struct ReplyCase {
    const char* name;
    FakeDataServer::Script script;
    std::size_t bytes;
    bool cut;
    std::string text;
};

class ReplyReading : public ::testing::TestWithParam<ReplyCase> {};

// The reply is read until a zero byte, the peer's close, the limit or the time-out; each
// way of ending is reported, and nothing waits longer than the time-out.
TEST_P(ReplyReading, EndsTheWayTheServerBehaves) {
    const ReplyCase& c = GetParam();
    FakeDataServer fake(c.script);
    server::ServerClient client(fake.Config(300ms), FixedIdentity());
    server::Reply reply = client.Exchange(server::Message::RankingQuery, {"0"});
    EXPECT_EQ(reply.bytes, c.bytes);
    EXPECT_EQ(reply.cut, c.cut);
    EXPECT_EQ(reply.Answered(), c.bytes > 1);
    EXPECT_EQ(reply.text, c.text);
    EXPECT_EQ(fake.Requests().size(), 1u);
}

std::string Repeat(char c, std::size_t n) {
    return std::string(n, c);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, ReplyReading,
    ::testing::Values(
        ReplyCase{"AnswersWithTerminator",
                  [](server::Socket& s, const std::string&) {
                      s.SendAll("abc", 1s);
                      s.SendAll(std::string(1, '\0'), 1s);
                  },
                  4, false, "abc"},
        ReplyCase{"StaysOpenAfterTheTerminator",
                  [](server::Socket& s, const std::string&) {
                      s.SendAll(std::string("abc\0", 4), 1s);
                      FakeDataServer::HoldUntilClientCloses(s);
                  },
                  4, false, "abc"},
        ReplyCase{"AnswersAndClosesWithoutTerminator",
                  [](server::Socket& s, const std::string&) { s.SendAll("abc", 1s); }, 3, false,
                  "abc"},
        ReplyCase{"NeverAnswers", nullptr, 0, true, ""},
        ReplyCase{"ClosesAtOnce", [](server::Socket&, const std::string&) {}, 0, false, ""},
        ReplyCase{"AnswersOneByte",
                  [](server::Socket& s, const std::string&) { s.SendAll("1", 1s); }, 1, false, ""},
        ReplyCase{"AnswersInSeveralSegments",
                  [](server::Socket& s, const std::string&) {
                      FakeDataServer::SendInPieces(s, {"ab", "cd", std::string("ef\0", 3)});
                  },
                  7, false, "abcdef"},
        ReplyCase{"AnswersMoreThanTheLimit",
                  [](server::Socket& s, const std::string&) { s.SendAll(Repeat('a', 600), 1s); },
                  512, true, Repeat('a', 512)},
        ReplyCase{"StopsSendingHalfway",
                  [](server::Socket& s, const std::string&) {
                      s.SendAll("abc", 1s);
                      FakeDataServer::HoldUntilClientCloses(s);
                  },
                  3, true, "abc"},
        ReplyCase{"SendsInvalidGbk",
                  [](server::Socket& s, const std::string&) { s.SendAll("\x81\x20z\xFF", 1s); }, 4,
                  false, "\xEF\xBF\xBD z\xEF\xBF\xBD"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ServerClient, UnreachableServerIsNoReply) {
    const server::ClientConfig config = UnreachableConfig();
    server::ServerClient client(config, FixedIdentity());
    server::Connection connection = client.Connect();
    EXPECT_FALSE(connection.Connected());
    EXPECT_FALSE(connection.Error().empty());
    server::Reply reply = client.Exchange(server::Message::StartReport, {"t", "0"});
    EXPECT_FALSE(reply.Answered());
    EXPECT_EQ(reply.bytes, 0u);
}

TEST(ServerClient, SendsTheEncodedFrameWithTwoZeroBytes) {
    FakeDataServer fake([](server::Socket& s, const std::string&) { s.SendAll("ok", 1s); });
    server::ServerClient client(fake.Config(), FixedIdentity());
    client.Exchange(server::Message::Feedback, {"2011-09-19 08:05:03", "7", "20301", "无法运行"},
                    4);
    ASSERT_EQ(fake.Requests().size(), 1u);
    std::string expected = server::EncodeFrame(
        server::BuildMessage(server::Message::Feedback, "0-1a-2b-3c-4d-5e", "192.168.1.2",
                             {"2011-09-19 08:05:03", "7", "20301", "无法运行"}, 4));
    EXPECT_EQ(fake.Requests()[0], expected);
}

TEST(ServerClient, MacIsWorkedOutOnceAndIpForEveryRequest) {
    FakeDataServer fake([](server::Socket& s, const std::string&) { s.SendAll("ok", 1s); });
    std::atomic<int> macCalls{0};
    std::atomic<int> ipCalls{0};
    server::ClientIdentity identity{[&] {
                                        ++macCalls;
                                        return std::string("0-1a-2b-3-4d-5e");
                                    },
                                    [&] { return "10.0.0." + std::to_string(++ipCalls); }};
    server::ServerClient client(fake.Config(), identity);
    for (int i = 0; i < 3; ++i) {
        client.Exchange(server::Message::RankingQuery, {"0"});
    }
    EXPECT_EQ(macCalls.load(), 1);
    EXPECT_EQ(ipCalls.load(), 3);
    auto requests = fake.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(FieldsOf(requests[0]),
              (std::vector<std::string>{"0-1a-2b-3-4d-5e", "10.0.0.1", "0"}));
    EXPECT_EQ(FieldsOf(requests[2]),
              (std::vector<std::string>{"0-1a-2b-3-4d-5e", "10.0.0.3", "0"}));
    // A client of its own works its MAC out again.
    server::ServerClient other(fake.Config(), identity);
    other.Exchange(server::Message::RankingQuery, {"0"});
    EXPECT_EQ(macCalls.load(), 2);
}

TEST(ServerClient, OverlappingExchangesEachGetTheirOwnReply) {
    // The server answers each request with its last field, and only once both requests are
    // in, so the two exchanges are in flight together.
    std::mutex mutex;
    std::condition_variable arrival;
    int arrived = 0;
    FakeDataServer fake([&](server::Socket& s, const std::string& request) {
        {
            std::unique_lock lock(mutex);
            ++arrived;
            arrival.notify_all();
            arrival.wait_for(lock, 1min, [&] { return arrived == 2; });
        }
        s.SendAll(FieldsOf(request).back() + std::string(1, '\0'), 1s);
    });
    server::ServerClient client(fake.Config(), FixedIdentity());
    std::string first;
    std::thread other(
        [&] { first = client.Exchange(server::Message::RankingQuery, {"first"}).text; });
    std::string second = client.Exchange(server::Message::RankingQuery, {"second"}).text;
    other.join();
    EXPECT_EQ(first, "first");
    EXPECT_EQ(second, "second");
}

TEST(ServerClient, CancelEndsAWaitForASilentServer) {
    FakeDataServer silent(nullptr);
    std::atomic<bool> cancel{false};
    server::ServerClient client(silent.Config(std::chrono::hours(1)), FixedIdentity());
    client.SetCancelFlag(&cancel);
    // Cancelled once the request is in, so the client is waiting for the reply.
    std::thread canceller([&] {
        Eventually([&] { return !silent.Requests().empty(); });
        cancel = true;
    });
    server::Reply reply = client.Exchange(server::Message::RankingQuery, {"0"});
    canceller.join();
    EXPECT_FALSE(reply.Answered());
    EXPECT_TRUE(reply.cut);
}

}  // namespace

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>
#include <chrono>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "ExchangeVerdict.h"
#include "LoadTally.h"
#include "server/Frame.h"

namespace bench {
namespace {

using std::chrono::microseconds;
namespace error = boost::asio::error;

// What the data server sends back: a frame in the wire form its replies take.
std::string ServerReply() {
    return server::EncodeFrame(server::BuildFrame('2', {"ok"}, true));
}

struct JudgeCase {
    const char* name;
    boost::system::error_code error;
    bool timedOut;
    std::string received;
    Outcome outcome;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const JudgeCase& c, std::ostream* out) {
    *out << c.name;
}

class JudgeExchangeTest : public testing::TestWithParam<JudgeCase> {};

TEST_P(JudgeExchangeTest, SortsTheEndOfAnExchange) {
    const JudgeCase& c = GetParam();
    const ExchangeVerdict verdict = JudgeExchange({c.error, c.timedOut, c.received});
    EXPECT_EQ(verdict.outcome, c.outcome);
    EXPECT_EQ(verdict.why.empty(), c.outcome == Outcome::Reply);
}

const std::string kReply = ServerReply();

INSTANTIATE_TEST_SUITE_P(
    Ends, JudgeExchangeTest,
    testing::Values(
        JudgeCase{"ClosedAfterReply", {}, false, kReply, Outcome::Reply},
        // The reply was whole before the reset: nothing the launcher needs was lost.
        JudgeCase{"ResetAfterReply", error::connection_reset, false, kReply, Outcome::Reply},
        JudgeCase{"ConnectRefused", error::connection_refused, false, "", Outcome::Refused},
        JudgeCase{"ResetUnanswered", error::connection_reset, false, "", Outcome::Refused},
        JudgeCase{"ClosedUnanswered", {}, false, "", Outcome::Refused},
        JudgeCase{"ClosedBeforeSendEnded", error::broken_pipe, false, "", Outcome::Refused},
        JudgeCase{"TimedOutUnanswered", error::operation_aborted, true, "", Outcome::Error},
        // A reply cut anywhere is a fault of the server, not a refusal.
        JudgeCase{
            "ReplyCutByClose", {}, false, kReply.substr(0, kReply.size() - 3), Outcome::Error},
        JudgeCase{"ReplyCutByReset", error::connection_reset, false, kReply.substr(0, 10),
                  Outcome::Error},
        JudgeCase{"ReplyCutByTimeOut", error::operation_aborted, true, kReply.substr(0, 10),
                  Outcome::Error},
        JudgeCase{"NoFrame", {}, false, std::string("hello\0", 6), Outcome::Error},
        JudgeCase{"OneZeroByte", {}, false, std::string(1, '\0'), Outcome::Error},
        JudgeCase{"LocalFailure", error::no_descriptors, false, "", Outcome::Error}),
    [](const testing::TestParamInfo<JudgeCase>& info) { return std::string(info.param.name); });

TEST(LoadTallyTest, PercentilesByNearestRank) {
    LoadTally tally;
    // 1..100 ms, recorded out of order.
    for (int i = 100; i >= 1; --i) {
        tally.Record({Outcome::Reply, {}}, microseconds(i * 1000), true);
    }
    EXPECT_EQ(tally.Percentile(0.50), microseconds(50'000));
    EXPECT_EQ(tally.Percentile(0.99), microseconds(99'000));
    EXPECT_EQ(tally.Percentile(1.0), microseconds(100'000));
    EXPECT_EQ(tally.Percentile(0.001), microseconds(1'000));
}

TEST(LoadTallyTest, OneSampleIsEveryPercentileAndNoneIsZero) {
    LoadTally tally;
    EXPECT_EQ(tally.Percentile(0.5), microseconds(0));
    tally.Record({Outcome::Reply, {}}, microseconds(7), true);
    EXPECT_EQ(tally.Percentile(0.5), microseconds(7));
    EXPECT_EQ(tally.Percentile(0.99), microseconds(7));
}

// Refusals come back in microseconds; counted among the latencies they would make a server
// that turns most launchers away look fast.
TEST(LoadTallyTest, OnlyRepliesCountTowardsLatency) {
    LoadTally tally;
    for (int i = 0; i < 3; ++i) {
        tally.Record({Outcome::Reply, {}}, microseconds(80'000), true);
    }
    for (int i = 0; i < 10; ++i) {
        tally.Record({Outcome::Refused, "Connection refused"}, microseconds(50), false);
    }
    tally.Record({Outcome::Refused, "Connection reset by peer"}, microseconds(60), true);
    tally.Record({Outcome::Error, "timed out"}, microseconds(10'000'000), true);
    tally.RecordAbandoned(true);
    tally.RecordAbandoned(false);

    EXPECT_EQ(tally.Percentile(0.5), microseconds(80'000));
    EXPECT_EQ(tally.Percentile(0.99), microseconds(80'000));
    EXPECT_EQ(tally.Count(Outcome::Reply), 3u);
    EXPECT_EQ(tally.Count(Outcome::Refused), 11u);
    EXPECT_EQ(tally.Count(Outcome::Error), 1u);
    EXPECT_EQ(tally.Abandoned(), 2u);
    // Sent: the three replies, the reset after sending, the time-out and one abandoned.
    EXPECT_EQ(tally.Sent(), 6u);
    const std::map<std::string, std::size_t> reasons{
        {"Connection refused", 10}, {"Connection reset by peer", 1}, {"timed out", 1}};
    EXPECT_EQ(tally.Reasons(), reasons);
}

}  // namespace
}  // namespace bench

// How ravik-dataserver's frame service treats clients that do not behave: silent, slow,
// oversized, too many. Spoken to with raw sockets, so the client does exactly what a case
// needs.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Programs.h"
#include "server/Frame.h"
#include "server/Message.h"
#include "server/Socket.h"

namespace {

using namespace std::chrono_literals;

std::string VersionCheckFrame() {
    return server::EncodeFrame(server::BuildMessage(
        server::Message::VersionCheck, "00-11-22-33-44-55", "10.0.0.2", {"100", "1.0"}));
}

std::unique_ptr<server::Socket> Open(int port) {
    auto socket = std::make_unique<server::Socket>();
    EXPECT_TRUE(socket->Connect("127.0.0.1", port, 5s)) << socket->Error();
    return socket;
}

// The server closed the connection without a byte of reply.
void ExpectClosedUnanswered(const server::Received& received, const std::string& name) {
    EXPECT_TRUE(received.end == server::ReceiveEnd::Closed ||
                received.end == server::ReceiveEnd::Failed)
        << name << ": the connection is still open";
    EXPECT_EQ(received.bytes, "") << name;
}

TEST(FrameServiceRoad, ClientsThatDoNotDeliverARequestAreClosedUnanswered) {
    enum class Client { Silent, Dripping, Oversized };
    struct Case {
        const char* name;
        std::vector<std::string> options;
        Client client;
        const char* logged;
    } cases[] = {
        {"a silent client meets the read deadline",
         {"--read-timeout", "0.3"},
         Client::Silent,
         "no request within the read deadline"},
        // Each byte comes well within the read deadline; only the exchange's deadline ends it.
        {"a client dripping bytes meets the exchange deadline",
         {"--read-timeout", "60", "--exchange-timeout", "0.5"},
         Client::Dripping,
         "the exchange took too long"},
        {"a request over 16 KiB", {}, Client::Oversized, "a request longer than 16384 bytes"},
    };
    for (const Case& c : cases) {
        TempDir data;
        DataServerProcess server(data / "data.db", "", FIXTURE_DIR "/www", c.options);
        auto socket = Open(server.Port());
        server::Received received;
        switch (c.client) {
            case Client::Silent:
                received = socket->Receive(1024, 30s, false);
                break;
            case Client::Dripping: {
                // A frame that never ends, a byte at a time, until the server closes.
                const std::string frame = VersionCheckFrame();
                auto give = std::chrono::steady_clock::now() + 30s;
                for (std::size_t i = 0; std::chrono::steady_clock::now() < give; ++i) {
                    socket->SendAll(std::string(1, frame[i % (frame.size() - 1)]), 1s);
                    received = socket->Receive(1024, 50ms, false);
                    if (received.end != server::ReceiveEnd::TimedOut) {
                        break;
                    }
                }
                break;
            }
            case Client::Oversized:
                socket->SendAll(std::string(17 * 1024, 'x'), 5s);
                received = socket->Receive(1024, 30s, false);
                break;
        }
        ExpectClosedUnanswered(received, c.name);
        EXPECT_NE(server.Log().find(c.logged), std::string::npos) << c.name << "\n" << server.Log();
        // The service goes on answering.
        auto next = Open(server.Port());
        next->SendAll(VersionCheckFrame(), 5s);
        EXPECT_TRUE(next->Receive(1024, 30s, true).bytes.starts_with("^1")) << c.name;
    }
}

// Clients that connect and send nothing take no worker away from a real query: its reply
// comes while every one of them is still open and unanswered.
TEST(FrameServiceRoad, SilentConnectionsDoNotHoldUpAQuery) {
    TempDir data;
    // The silent ones are never closed for their silence during the test.
    DataServerProcess server(data / "data.db", FIXTURE_DIR "/seed.json", FIXTURE_DIR "/www",
                             {"--read-timeout", "600"});
    std::vector<std::unique_ptr<server::Socket>> silent;
    for (int i = 0; i < 200; ++i) {
        silent.push_back(Open(server.Port()));
    }
    auto query = Open(server.Port());
    ASSERT_TRUE(query->SendAll(VersionCheckFrame(), 5s));
    server::Received reply = query->Receive(1024, 30s, true);
    EXPECT_EQ(reply.end, server::ReceiveEnd::Terminated);
    EXPECT_TRUE(reply.bytes.starts_with("^1")) << reply.bytes;
    int stillOpen = 0;
    for (auto& socket : silent) {
        server::Received nothing = socket->Receive(1, 1ms, false);
        stillOpen += nothing.end == server::ReceiveEnd::TimedOut && nothing.bytes.empty() ? 1 : 0;
    }
    EXPECT_EQ(stillOpen, 200);
}

TEST(FrameServiceRoad, ConnectionsOverTheLimitAreRefusedUntilOneCloses) {
    TempDir data;
    DataServerProcess server(data / "data.db", "", FIXTURE_DIR "/www", {"--max-connections", "3"});
    std::vector<std::unique_ptr<server::Socket>> held;
    for (int i = 0; i < 3; ++i) {
        held.push_back(Open(server.Port()));
    }
    auto refused = Open(server.Port());
    refused->SendAll(VersionCheckFrame(), 5s);
    ExpectClosedUnanswered(refused->Receive(1024, 30s, false), "the fourth connection");
    EXPECT_NE(server.Log().find("too many connections"), std::string::npos) << server.Log();

    // Once one of the three has gone, a new connection is served (as soon as the server has
    // seen it go).
    held.pop_back();
    bool answered = false;
    for (auto give = std::chrono::steady_clock::now() + 30s;
         !answered && std::chrono::steady_clock::now() < give;) {
        auto next = Open(server.Port());
        next->SendAll(VersionCheckFrame(), 5s);
        answered = next->Receive(1024, 30s, true).bytes.starts_with("^1");
        if (!answered) {
            std::this_thread::sleep_for(20ms);
        }
    }
    EXPECT_TRUE(answered);
}

}  // namespace

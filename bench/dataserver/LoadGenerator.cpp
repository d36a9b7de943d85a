#include "LoadGenerator.h"

#include <algorithm>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/asio/write.hpp>
#include <memory>
#include <string>

#include "platform/HostIdentity.h"
#include "server/Frame.h"
#include "server/Message.h"

namespace bench {

namespace {

namespace asio = boost::asio;
using asio::ip::tcp;
using Clock = std::chrono::steady_clock;
using boost::system::error_code;

// No reply is near this large (the launcher reads 100 KiB of a catalog reply at most); a
// server sending more than this is answering wrongly, and the read ends with an error.
constexpr std::size_t kReplyLimit = 1024 * 1024;
// A client that was turned away tries again after this pause rather than at once, so a
// refusing server is not measured by how fast it can refuse.
constexpr std::chrono::milliseconds kRefusalPause{100};

// A connection whose deadline closes it: closing ends whatever operation waits on it.
struct GuardedSocket {
    GuardedSocket(const asio::any_io_executor& executor, Clock::time_point deadline)
        : socket(executor), timer(executor, deadline) {}

    tcp::socket socket;
    asio::steady_timer timer;
    bool timedOut = false;
};

std::shared_ptr<GuardedSocket> OpenGuarded(const asio::any_io_executor& executor,
                                           Clock::time_point deadline) {
    auto guarded = std::make_shared<GuardedSocket>(executor, deadline);
    guarded->timer.async_wait([weak = std::weak_ptr(guarded)](const error_code& ec) {
        auto alive = weak.lock();
        if (!alive || ec) {
            return;
        }
        alive->timedOut = true;
        error_code ignored;
        alive->socket.close(ignored);
    });
    return guarded;
}

asio::awaitable<void> PauseUntil(Clock::time_point until) {
    asio::steady_timer timer(co_await asio::this_coro::executor, until);
    error_code ignored;
    co_await timer.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
}

// A locally administered hardware address per client, written as launchers write theirs.
std::string ClientMac(std::size_t index) {
    const unsigned char bytes[6] = {0x02,
                                    0,
                                    0,
                                    static_cast<unsigned char>(index >> 16),
                                    static_cast<unsigned char>(index >> 8),
                                    static_cast<unsigned char>(index)};
    return platform::FormatMacAddress(bytes);
}

// The request a launcher sends: a start report (not a first start) or a catalog query of a
// launcher that has no catalog yet.
std::string RequestBytes(bool startReport, const std::string& mac) {
    static const std::string kIp = "127.0.0.1";
    if (startReport) {
        return server::EncodeFrame(server::BuildMessage(server::Message::StartReport, mac, kIp,
                                                        {server::FormatReportTime(), "1"}));
    }
    return server::EncodeFrame(
        server::BuildMessage(server::Message::CatalogQuery, mac, kIp, {"0"}));
}

}  // namespace

LoadResult LoadGenerator::Run() {
    end_ = Clock::now() + options_.duration;
    // Slow clients first, so they hold their connections while the normal clients run.
    for (std::size_t i = 0; i < options_.slowClients; ++i) {
        asio::co_spawn(io_, SlowClient(), asio::detached);
    }
    for (std::size_t i = 0; i < options_.clients; ++i) {
        asio::co_spawn(io_, NormalClient(i), asio::detached);
    }
    io_.run();
    return std::move(result_);
}

asio::awaitable<void> LoadGenerator::NormalClient(std::size_t index) {
    const auto executor = co_await asio::this_coro::executor;
    const bool startReport = options_.mix == RequestMix::StartOnly || index % 2 == 1;
    const std::string mac = ClientMac(index);
    std::string received;
    // Paced clients start spread over the first interval, so their exchanges do not arrive
    // in one burst per interval.
    auto nextStart = Clock::now();
    if (options_.interval.count() > 0) {
        nextStart += options_.interval * static_cast<long>(index) /
                     static_cast<long>(std::max<std::size_t>(options_.clients, 1));
    }
    while (Clock::now() < end_) {
        if (options_.interval.count() > 0) {
            co_await PauseUntil(std::min(nextStart, end_));
            if (Clock::now() >= end_) {
                break;
            }
            // A client that fell behind starts at once rather than catching up in a burst.
            nextStart = std::max(nextStart + options_.interval, Clock::now());
        }
        const std::string request = RequestBytes(startReport, mac);
        const auto began = Clock::now();
        const auto deadline = std::min(began + options_.exchangeTimeout, end_);
        auto guarded = OpenGuarded(executor, deadline);
        auto& socket = guarded->socket;
        error_code ec;
        bool sent = false;
        received.clear();
        co_await socket.async_connect(options_.server,
                                      asio::redirect_error(asio::use_awaitable, ec));
        if (!ec) {
            co_await asio::async_write(socket, asio::buffer(request),
                                       asio::redirect_error(asio::use_awaitable, ec));
            sent = !ec;
        }
        if (!ec) {
            co_await asio::async_read(socket, asio::dynamic_buffer(received, kReplyLimit),
                                      asio::redirect_error(asio::use_awaitable, ec));
            if (ec == asio::error::eof) {
                ec = {};
            }
        }
        const auto latency =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - began);
        const ExchangeVerdict verdict = JudgeExchange({ec, guarded->timedOut, received});
        if (guarded->timedOut && deadline == end_ && verdict.outcome != Outcome::Reply) {
            result_.tally.RecordAbandoned(sent);
            break;
        }
        result_.tally.Record(verdict, latency, sent);
        guarded.reset();
        if (verdict.outcome == Outcome::Refused) {
            co_await PauseUntil(std::min(Clock::now() + kRefusalPause, end_));
        }
    }
}

asio::awaitable<void> LoadGenerator::SlowClient() {
    const auto executor = co_await asio::this_coro::executor;
    const char firstByte = server::kStartMark;
    while (Clock::now() < end_) {
        auto guarded = OpenGuarded(executor, end_);
        error_code ec;
        co_await guarded->socket.async_connect(options_.server,
                                               asio::redirect_error(asio::use_awaitable, ec));
        if (!ec) {
            co_await asio::async_write(guarded->socket, asio::buffer(&firstByte, 1),
                                       asio::redirect_error(asio::use_awaitable, ec));
        }
        if (!ec) {
            // Nothing more is sent: this waits until the server gives up on the connection
            // or the run ends.
            char byte = 0;
            co_await asio::async_read(guarded->socket, asio::buffer(&byte, 1),
                                      asio::redirect_error(asio::use_awaitable, ec));
        }
        if (guarded->timedOut) {
            break;
        }
        ++result_.slowDropped;
        guarded.reset();
        co_await PauseUntil(std::min(Clock::now() + kRefusalPause, end_));
    }
}

}  // namespace bench

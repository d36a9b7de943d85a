#pragma once

#include <chrono>
#include <cstddef>
// clang-format off
// Before awaitable.hpp, which uses std::exchange without including <utility> in Boost 1.74.
#include <utility>
#include <boost/asio/awaitable.hpp>
// clang-format on
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>

#include "LoadTally.h"

namespace bench {

// Which requests the normal clients send.
enum class RequestMix {
    Mixed,      // half the clients query the catalog (lasttime 0), half send start reports
    StartOnly,  // every client sends start reports
};

struct LoadOptions {
    boost::asio::ip::tcp::endpoint server;
    std::size_t clients = 10;
    std::size_t slowClients = 0;
    RequestMix mix = RequestMix::Mixed;
    std::chrono::seconds duration{10};
    // 0: each client starts its next exchange as soon as the last one ended (the most load
    // the clients can make). Otherwise each client starts one exchange per interval, the
    // clients spread evenly over it, as launchers that each ask now and then.
    std::chrono::milliseconds interval{0};
    // One exchange taking longer than this counts as an error.
    std::chrono::seconds exchangeTimeout{10};
};

// What a run measured: the normal clients' exchanges, and how often the server dropped a
// slow client (each then connects again).
struct LoadResult {
    LoadTally tally;
    std::size_t slowDropped = 0;
};

// Many launchers on one thread: each normal client, until the run's time is up, connects,
// sends one request frame, reads the reply until the server closes and closes in its turn,
// as the launcher does for every request; at once again, or at its next interval. Slow clients
// connect, send one byte and hold the connection for the whole run. Exchanges still open when the
// time is up are abandoned and not counted, except as sent.
class LoadGenerator {
  public:
    explicit LoadGenerator(LoadOptions options) : options_(std::move(options)) {}

    LoadResult Run();

  private:
    boost::asio::awaitable<void> NormalClient(std::size_t index);
    boost::asio::awaitable<void> SlowClient();

    LoadOptions options_;
    boost::asio::io_context io_{1};
    std::chrono::steady_clock::time_point end_;
    LoadResult result_;
};

}  // namespace bench

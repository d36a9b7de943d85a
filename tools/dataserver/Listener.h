#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <functional>
#include <memory>
#include <string>

#include "ConnectionTracker.h"
#include "RateLimitedLog.h"

namespace dataserver {

class Connection;

// Accepts the connections of one service and hands each to a new Connection, or closes it at
// once when the tracker has no room for it.
class Listener {
  public:
    using Socket = boost::asio::ip::tcp::socket;
    using MakeConnection = std::function<std::shared_ptr<Connection>(Socket)>;

    Listener(boost::asio::io_context& io, ConnectionTracker& tracker, RateLimitedLog::LogFn log,
             MakeConnection make);
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

    // Binds and listens; false with Error().
    bool Listen(const std::string& host, int port);
    int Port() const { return port_; }
    const std::string& Error() const { return error_; }

    void Start();
    // From any thread: accepts no more connections.
    void Stop();

  private:
    void Accept();

    boost::asio::io_context& io_;
    ConnectionTracker& tracker_;
    MakeConnection make_;
    boost::asio::ip::tcp::acceptor acceptor_;
    // After an accept fails for want of resources, a pause before the next one.
    boost::asio::steady_timer pause_;
    RateLimitedLog errors_;
    int port_ = 0;
    std::string error_;
};

}  // namespace dataserver

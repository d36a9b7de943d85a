#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "server/Socket.h"

namespace dataserver {

// Accepts TCP connections and hands each to one of a few worker threads. Connections beyond
// what the queue holds are closed at once. Every handed-out socket carries the pool's stop
// flag, so a long transfer ends promptly when the pool is destroyed.
class ConnectionPool {
  public:
    using HandleFn = std::function<void(server::Socket)>;
    using LogFn = std::function<void(const std::string&)>;

    ConnectionPool(HandleFn handle, LogFn log, std::size_t workers);
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    bool Listen(const std::string& host, int port);
    int Port() const { return listener_.LocalPort(); }
    const std::string& Error() const { return listener_.Error(); }

    // Accepts until `stop` is set.
    void Serve(const std::atomic<bool>& stop);

  private:
    void Work();

    HandleFn handle_;
    LogFn log_;
    server::Socket listener_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<server::Socket> queue_;
    std::atomic<bool> stopping_{false};
    std::vector<std::thread> workers_;
};

}  // namespace dataserver

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

#include "RequestHandler.h"
#include "server/Socket.h"

namespace dataserver {

// The TCP side of the data server: accepts connections and hands each to one of a few
// worker threads, which reads one request frame (bounded in size and time), answers it and
// closes. Connections beyond what the queue holds are closed at once.
class FrameServer {
  public:
    using LogFn = std::function<void(const std::string&)>;

    FrameServer(RequestHandler& handler, LogFn log, std::size_t workers = 8);
    ~FrameServer();
    FrameServer(const FrameServer&) = delete;
    FrameServer& operator=(const FrameServer&) = delete;

    bool Listen(const std::string& host, int port);
    int Port() const { return listener_.LocalPort(); }
    const std::string& Error() const { return listener_.Error(); }

    // Accepts until `stop` is set.
    void Serve(const std::atomic<bool>& stop);

  private:
    void Work();
    void Handle(server::Socket connection);

    RequestHandler& handler_;
    LogFn log_;
    server::Socket listener_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<server::Socket> queue_;
    bool stopping_ = false;
    std::vector<std::thread> workers_;
};

}  // namespace dataserver

#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

#include "ConnectionPool.h"
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
    FrameServer(const FrameServer&) = delete;
    FrameServer& operator=(const FrameServer&) = delete;

    bool Listen(const std::string& host, int port) { return pool_.Listen(host, port); }
    int Port() const { return pool_.Port(); }
    const std::string& Error() const { return pool_.Error(); }

    // Accepts until `stop` is set.
    void Serve(const std::atomic<bool>& stop) { pool_.Serve(stop); }

  private:
    void Handle(server::Socket connection);

    RequestHandler& handler_;
    LogFn log_;
    // Last, so its workers stop before the members they use go away.
    ConnectionPool pool_;
};

}  // namespace dataserver

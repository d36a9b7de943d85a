#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "ConnectionPool.h"
#include "server/Socket.h"

namespace dataserver {

// Serves the files below a directory over HTTP/1.1: GET and HEAD, one byte range per
// request (downloads resume with it), one request per connection. The file is chosen by the
// path alone; the query is of no use to a static server and may hold anything, even a
// second '?' or a whole unencoded address, as the launcher's loading page URLs do.
class StaticWebServer {
  public:
    using LogFn = std::function<void(const std::string&)>;

    // `root` must be an existing directory.
    StaticWebServer(const std::filesystem::path& root, LogFn log, std::size_t workers = 8);
    StaticWebServer(const StaticWebServer&) = delete;
    StaticWebServer& operator=(const StaticWebServer&) = delete;

    bool Listen(const std::string& host, int port) { return pool_.Listen(host, port); }
    int Port() const { return pool_.Port(); }
    const std::string& Error() const { return pool_.Error(); }

    // Accepts until `stop` is set.
    void Serve(const std::atomic<bool>& stop) { pool_.Serve(stop); }

  private:
    void Handle(server::Socket connection);

    std::filesystem::path root_;
    LogFn log_;
    // Last, so its workers stop before the members they use go away.
    ConnectionPool pool_;
};

}  // namespace dataserver

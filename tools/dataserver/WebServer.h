#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Connection.h"
#include "HttpRoute.h"
#include "Listener.h"
#include "StaticFiles.h"

namespace dataserver {

// The HTTP side of the data server: the files below a directory, and routes that answer
// the requests below their path prefixes themselves.
class WebServer {
  public:
    // `root` must be an existing directory.
    WebServer(boost::asio::io_context& io, ServiceContext& context,
              const std::filesystem::path& root);

    // Before Start. The first route whose prefix owns a path answers it.
    void AddRoute(std::shared_ptr<HttpRoute> route) { routes_.push_back(std::move(route)); }

    bool Listen(const std::string& host, int port) { return listener_.Listen(host, port); }
    int Port() const { return listener_.Port(); }
    const std::string& Error() const { return listener_.Error(); }
    void Start() { listener_.Start(); }
    void StopAccepting() { listener_.Stop(); }

  private:
    StaticFiles files_;
    std::vector<std::shared_ptr<HttpRoute>> routes_;
    Listener listener_;
};

}  // namespace dataserver

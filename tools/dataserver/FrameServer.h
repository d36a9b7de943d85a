#pragma once

#include <string>

#include "Connection.h"
#include "Listener.h"
#include "ReportWriter.h"
#include "RequestHandler.h"

namespace dataserver {

// The TCP side of the data server: each connection brings one request frame, answered by a
// FrameConnection.
class FrameServer {
  public:
    FrameServer(boost::asio::io_context& io, ServiceContext& context, RequestHandler& handler,
                ReportWriter& reports);

    bool Listen(const std::string& host, int port) { return listener_.Listen(host, port); }
    int Port() const { return listener_.Port(); }
    const std::string& Error() const { return listener_.Error(); }
    void Start() { listener_.Start(); }
    void StopAccepting() { listener_.Stop(); }

  private:
    Listener listener_;
};

}  // namespace dataserver

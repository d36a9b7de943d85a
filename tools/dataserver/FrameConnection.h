#pragma once

#include <array>
#include <string>

#include "Connection.h"
#include "ReportWriter.h"
#include "RequestHandler.h"

namespace dataserver {

// One client of the frame service: reads one request frame (up to its zero byte or the
// client's end of sending), answers it and closes. A report is acknowledged once the report
// writer has stored it; a query is answered on a worker thread. A malformed or oversized
// request, a client silent for longer than the read deadline and an exchange longer than
// its deadline are closed unanswered.
class FrameConnection : public Connection {
  public:
    FrameConnection(Socket socket, ServiceContext& context, RequestHandler& handler,
                    ReportWriter& reports);

  private:
    void Start() override;
    void Read();
    void Answer();
    void Send(std::string reply);

    RequestHandler& handler_;
    ReportWriter& reports_;
    std::string request_;
    std::string reply_;
    std::array<char, 4096> buffer_{};
};

}  // namespace dataserver

#include "FrameServer.h"

#include <chrono>

namespace dataserver {

namespace {

// No request is longer: the longest is a feedback with its reason text.
constexpr std::size_t kMaxFrame = 16 * 1024;
constexpr std::chrono::seconds kReadTimeout{10};
constexpr std::chrono::seconds kWriteTimeout{10};
// After answering, the rest of the client's bytes are read (and dropped) for this long, so
// closing never resets a connection whose reply the client has not read yet.
constexpr std::chrono::seconds kDrainTimeout{2};

}  // namespace

FrameServer::FrameServer(RequestHandler& handler, LogFn log, std::size_t workers)
    : handler_(handler),
      log_(std::move(log)),
      pool_([this](server::Socket connection) { Handle(std::move(connection)); }, log_, workers) {}

void FrameServer::Handle(server::Socket connection) {
    std::string peer = connection.PeerAddress();
    server::Received request = connection.Receive(kMaxFrame, kReadTimeout, true);
    if (request.end != server::ReceiveEnd::Terminated &&
        request.end != server::ReceiveEnd::Closed) {
        log_(peer + ": no complete frame (" + std::to_string(request.bytes.size()) +
             " bytes); not answered");
        return;
    }
    std::string problem;
    std::string reply = handler_.Answer(request.bytes, peer, problem);
    if (reply.empty()) {
        log_(peer + ": " + problem + "; not answered");
        return;
    }
    if (!connection.SendAll(reply, kWriteTimeout)) {
        log_(peer + ": the reply could not be sent: " + connection.Error());
        return;
    }
    connection.ShutdownSend();
    connection.Receive(kMaxFrame, kDrainTimeout, false);
}

}  // namespace dataserver

#include "FrameServer.h"

#include <chrono>
#include <exception>

namespace dataserver {

namespace {

// No request is longer: the longest is a feedback with its reason text.
constexpr std::size_t kMaxFrame = 16 * 1024;
constexpr std::chrono::seconds kReadTimeout{10};
constexpr std::chrono::seconds kWriteTimeout{10};
// After answering, the rest of the client's bytes are read (and dropped) for this long, so
// closing never resets a connection whose reply the client has not read yet.
constexpr std::chrono::seconds kDrainTimeout{2};
constexpr std::size_t kMaxQueued = 64;

}  // namespace

FrameServer::FrameServer(RequestHandler& handler, LogFn log, std::size_t workers)
    : handler_(handler), log_(std::move(log)) {
    for (std::size_t i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { Work(); });
    }
}

FrameServer::~FrameServer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (auto& worker : workers_) {
        worker.join();
    }
}

bool FrameServer::Listen(const std::string& host, int port) {
    return listener_.Listen(host, port);
}

void FrameServer::Serve(const std::atomic<bool>& stop) {
    while (!stop.load()) {
        server::Socket connection = listener_.Accept(std::chrono::milliseconds(200));
        if (!connection.IsOpen()) {
            continue;
        }
        std::unique_lock lock(mutex_);
        if (queue_.size() >= kMaxQueued) {
            lock.unlock();
            log_("too many connections; closing one from " + connection.PeerAddress());
            continue;
        }
        queue_.push_back(std::move(connection));
        lock.unlock();
        ready_.notify_one();
    }
}

void FrameServer::Work() {
    for (;;) {
        server::Socket connection;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (stopping_) {
                return;
            }
            connection = std::move(queue_.front());
            queue_.pop_front();
        }
        // One bad connection must not take the server down.
        try {
            Handle(std::move(connection));
        } catch (const std::exception& e) {
            log_(std::string("a connection failed: ") + e.what());
        }
    }
}

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

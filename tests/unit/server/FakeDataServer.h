#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/ClientConfig.h"
#include "server/Frame.h"
#include "server/Socket.h"

// A loopback stand-in for the data server that answers each connection with a script, so a
// test can make the server misbehave: stay silent, answer in pieces, close halfway. Each
// connection runs on its own thread; the destructor stops them all.
class FakeDataServer {
  public:
    // Gets the connection and the request bytes as received (up to the two zero bytes). An
    // empty script never answers: it holds the connection open until the server stops.
    using Script = std::function<void(server::Socket&, const std::string& request)>;

    explicit FakeDataServer(Script script) : script_(std::move(script)) {
        if (!listener_.Listen("127.0.0.1", 0)) {
            throw std::runtime_error("cannot listen: " + listener_.Error());
        }
        port_ = listener_.LocalPort();
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }
    ~FakeDataServer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        stopped_.notify_all();
        acceptor_.join();
        for (auto& t : connections_) {
            t.join();
        }
    }
    FakeDataServer(const FakeDataServer&) = delete;
    FakeDataServer& operator=(const FakeDataServer&) = delete;

    int Port() const { return port_; }

    server::ClientConfig Config(
        std::chrono::milliseconds receiveTimeout = std::chrono::milliseconds(5000)) const {
        server::ClientConfig config;
        config.host = "127.0.0.1";
        config.port = port_;
        config.receiveTimeout = receiveTimeout;
        return config;
    }

    // Every request received so far, in the order they arrived.
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // Holds a script until the server stops (a server that never answers).
    void WaitForStop() {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stop_; });
    }

    // Keeps a connection open without sending anything until the client closes it, so the
    // client can only stop waiting on its own terms (its time-out, the end of the reply it
    // already has). A minute at most, should a client never close.
    static void HoldUntilClientCloses(server::Socket& socket) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < deadline) {
            const server::ReceiveEnd end =
                socket.Receive(65536, std::chrono::milliseconds(100), false).end;
            if (end == server::ReceiveEnd::Closed || end == server::ReceiveEnd::Failed) {
                return;
            }
        }
    }

    // Sends each piece on its own, with a pause between them, so they travel in separate
    // TCP segments.
    static void SendInPieces(server::Socket& socket, const std::vector<std::string>& pieces) {
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            socket.SendAll(pieces[i], std::chrono::seconds(5));
        }
    }

  private:
    void AcceptLoop() {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stop_) {
                    return;
                }
            }
            server::Socket connection = listener_.Accept(std::chrono::milliseconds(50));
            if (!connection.IsOpen()) {
                continue;
            }
            std::lock_guard lock(mutex_);
            connections_.emplace_back(
                [this, c = std::move(connection)]() mutable { Serve(std::move(c)); });
        }
    }

    void Serve(server::Socket connection) {
        // The client ends its frame with two zero bytes; read until both have come.
        std::string request;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (request.size() < 2 ||
               request.compare(request.size() - 2, 2, std::string(2, '\0')) != 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                break;
            }
            server::Received piece =
                connection.Receive(65536, std::chrono::milliseconds(100), false);
            request += piece.bytes;
            if (piece.end == server::ReceiveEnd::Closed ||
                piece.end == server::ReceiveEnd::Failed) {
                break;
            }
        }
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        if (script_) {
            script_(connection, request);
        } else {
            WaitForStop();
        }
    }

    Script script_;
    server::Socket listener_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stop_ = false;
    std::vector<std::string> requests_;
    std::vector<std::thread> connections_;
    std::thread acceptor_;
};

// A reply as the data server writes it: three fields the client skips, then `fields`, the
// end mark as a field of its own, and the terminating zero byte.
inline std::string ReplyBytes(const std::vector<std::string>& fields) {
    std::string text =
        std::string("^0") + server::kFieldSeparator + "0000000000" + server::kFieldSeparator + "0";
    for (const auto& field : fields) {
        text += server::kFieldSeparator;
        text += field;
    }
    text += server::kFieldSeparator;
    text += "~";
    text.push_back('\0');
    return text;
}

// The message code of a request's bytes.
inline char CodeOf(const std::string& request) {
    return request.size() > 1 ? request[1] : '?';
}

// The body fields of a request (after the code and the length), decoded.
inline std::vector<std::string> FieldsOf(const std::string& request) {
    std::string text = server::DecodeReply(request);
    if (!text.empty() && text.back() == server::kEndMark) {
        text.pop_back();
    }
    std::vector<std::string> fields = server::SplitFields(text, server::kFieldSeparator);
    fields.erase(fields.begin(), fields.begin() + std::min<std::size_t>(2, fields.size()));
    return fields;
}

// A client configuration for a loopback port where nobody listens (it was bound a moment ago
// and let go), so connecting fails at once.
inline server::ClientConfig UnreachableConfig() {
    server::Socket probe;
    if (!probe.Listen("127.0.0.1", 0)) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    server::ClientConfig config;
    config.host = "127.0.0.1";
    config.port = probe.LocalPort();
    return config;
}

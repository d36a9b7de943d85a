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

#include "platform/SocketCalls.h"
#include "platform/Sockets.h"

// A loopback HTTP server that answers each connection with a script, so tests can make a
// server misbehave in ways a real server library never would: close halfway, stall, ignore
// or honour ranges. Each connection runs on its own thread; the destructor stops them all.
class RawHttpServer {
  public:
    class Connection {
      public:
        Connection(RawHttpServer* server, platform::socket_calls::Native fd, std::string request,
                   int number)
            : server_(server), fd_(fd), request_(std::move(request)), number_(number) {}
        // The request head as received.
        const std::string& Request() const { return request_; }
        // 0 for the first connection the server accepted, 1 for the second, ...
        int Number() const { return number_; }
        // The byte offset of a "Range: bytes=N-" request, or -1.
        long long RangeStart() const {
            auto at = request_.find("Range: bytes=");
            return at == std::string::npos ? -1 : std::stoll(request_.substr(at + 13));
        }
        bool Send(const std::string& bytes) {
            std::size_t done = 0;
            while (done < bytes.size()) {
                long n =
                    platform::socket_calls::SendSome(fd_, bytes.data() + done, bytes.size() - done);
                if (n <= 0) {
                    return false;
                }
                done += static_cast<std::size_t>(n);
            }
            return true;
        }
        void SendHead(int status, const std::string& reason, long long contentLength,
                      const std::string& extra = {}) {
            std::string head = "HTTP/1.1 " + std::to_string(status) + " " + reason + "\r\n";
            if (contentLength >= 0) {
                head += "Content-Length: " + std::to_string(contentLength) + "\r\n";
            }
            head += extra + "Connection: close\r\n\r\n";
            Send(head);
        }
        // Holds the connection open without sending anything until the server stops.
        void Stall() { server_->WaitForStop(); }
        // Sends `bytes` a piece at a time with a pause after each, as a server on a very bad
        // line does; ends early when the client goes away or the server stops.
        void Trickle(const std::string& bytes, std::size_t piece, std::chrono::milliseconds pause) {
            for (std::size_t at = 0; at < bytes.size(); at += piece) {
                if (!Send(bytes.substr(at, piece)) || server_->WaitForStop(pause)) {
                    return;
                }
            }
        }

      private:
        RawHttpServer* server_;
        platform::socket_calls::Native fd_;
        std::string request_;
        int number_;
    };
    using Script = std::function<void(Connection&)>;

    explicit RawHttpServer(Script script) : script_(std::move(script)) {
        platform::InitSocketLibrary();
        listen_ = platform::socket_calls::NewStreamSocket(AF_INET);
        int one = 1;
        setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&one),
                   sizeof one);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            ::listen(listen_, 16) != 0) {
            throw std::runtime_error("cannot listen on loopback");
        }
        socklen_t len = sizeof addr;
        getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        acceptor_ = std::thread([this] { AcceptLoop(); });
    }

    ~RawHttpServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        stopped_.notify_all();
        acceptor_.join();
        platform::socket_calls::CloseSocket(listen_);
        for (auto& t : workers_) {
            t.join();
        }
    }

    std::string Url(const std::string& path = "/file") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Connections() const { return connections_.load(); }
    // Range starts seen, one per connection in order (-1 where none was asked).
    std::vector<long long> Ranges() const {
        std::lock_guard lock(mutex_);
        return ranges_;
    }

  private:
    void WaitForStop() {
        std::unique_lock lock(mutex_);
        stopped_.wait(lock, [this] { return stopping_; });
    }
    // True when the server stops within `pause`.
    bool WaitForStop(std::chrono::milliseconds pause) {
        std::unique_lock lock(mutex_);
        return stopped_.wait_for(lock, pause, [this] { return stopping_; });
    }

    void AcceptLoop() {
        for (;;) {
            int ready = platform::socket_calls::PollOne(listen_, POLLIN, 50);
            {
                std::lock_guard lock(mutex_);
                if (stopping_) {
                    return;
                }
            }
            if (ready <= 0) {
                continue;
            }
            platform::socket_calls::Native fd = ::accept(listen_, nullptr, nullptr);
            if (fd == platform::socket_calls::InvalidSocket()) {
                continue;
            }
            int number = connections_.fetch_add(1);
            workers_.emplace_back([this, fd, number] { Serve(fd, number); });
        }
    }

    void Serve(platform::socket_calls::Native fd, int number) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            long n = platform::socket_calls::ReceiveSome(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            request.append(buffer, static_cast<std::size_t>(n));
        }
        Connection connection(this, fd, request, number);
        {
            std::lock_guard lock(mutex_);
            ranges_.push_back(connection.RangeStart());
        }
        script_(connection);
        platform::socket_calls::ShutdownSending(fd);
        platform::socket_calls::CloseSocket(fd);
    }

    Script script_;
    platform::socket_calls::Native listen_ = platform::socket_calls::InvalidSocket();
    int port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<long long> ranges_;
};

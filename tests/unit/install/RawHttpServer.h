#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

// The few socket calls that differ between Winsock and BSD sockets.
namespace raw_http {
#ifdef _WIN32
using Native = SOCKET;
constexpr int kNoSignal = 0;
constexpr int kShutBoth = SD_BOTH;
inline void CloseNative(Native s) {
    closesocket(s);
}
inline int PollNative(pollfd* p, int timeoutMs) {
    return WSAPoll(p, 1, timeoutMs);
}
// Winsock counts its users; every server takes one reference for its lifetime.
struct SocketLibrary {
    SocketLibrary() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~SocketLibrary() { WSACleanup(); }
};
#else
using Native = int;
constexpr int kNoSignal = MSG_NOSIGNAL;
constexpr int kShutBoth = SHUT_RDWR;
inline void CloseNative(Native s) {
    ::close(s);
}
inline int PollNative(pollfd* p, int timeoutMs) {
    return ::poll(p, 1, timeoutMs);
}
struct SocketLibrary {};
#endif
}  // namespace raw_http

// A loopback HTTP server that answers each connection with a script, so tests can make a
// server misbehave in ways a real server library never would: close halfway, stall, ignore
// or honour ranges. Each connection runs on its own thread; the destructor stops them all.
class RawHttpServer {
  public:
    class Connection {
      public:
        Connection(RawHttpServer* server, raw_http::Native fd, std::string request, int number)
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
                auto n = ::send(fd_, bytes.data() + done, static_cast<int>(bytes.size() - done),
                                raw_http::kNoSignal);
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

      private:
        RawHttpServer* server_;
        raw_http::Native fd_;
        std::string request_;
        int number_;
    };
    using Script = std::function<void(Connection&)>;

    explicit RawHttpServer(Script script) : script_(std::move(script)) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
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
        raw_http::CloseNative(listen_);
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

    void AcceptLoop() {
        for (;;) {
            pollfd p{listen_, POLLIN, 0};
            int ready = raw_http::PollNative(&p, 50);
            {
                std::lock_guard lock(mutex_);
                if (stopping_) {
                    return;
                }
            }
            if (ready <= 0) {
                continue;
            }
            raw_http::Native fd = ::accept(listen_, nullptr, nullptr);
            if (fd == static_cast<raw_http::Native>(-1)) {
                continue;
            }
            int number = connections_.fetch_add(1);
            workers_.emplace_back([this, fd, number] { Serve(fd, number); });
        }
    }

    void Serve(raw_http::Native fd, int number) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            auto n = ::recv(fd, buffer, sizeof buffer, 0);
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
        ::shutdown(fd, raw_http::kShutBoth);
        raw_http::CloseNative(fd);
    }

    raw_http::SocketLibrary library_;
    Script script_;
    raw_http::Native listen_ = static_cast<raw_http::Native>(-1);
    int port_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::vector<long long> ranges_;
};

#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Why a Receive stopped.
enum class ReceiveEnd {
    Closed,      // the peer closed its side
    Terminated,  // a zero byte arrived (everything after it is of no use)
    Limit,       // the byte limit was reached
    TimedOut,    // the time-out passed
    Cancelled,   // the cancel flag was set
    Failed,      // the connection broke (reset or another error)
};

struct Received {
    std::string bytes;
    ReceiveEnd end = ReceiveEnd::Failed;
};

// One TCP socket, closed by its destructor. Every blocking step has a time-out and checks
// an optional cancel flag, so no caller can hang on a silent peer. Socket.cpp holds what
// BSD sockets and Winsock share; the calls in which they differ are in SocketCalls.h.
class Socket {
  public:
#ifdef _WIN32
    using Native = std::uintptr_t;
#else
    using Native = int;
#endif

    Socket() = default;
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    // Connects to `host` (a name or an address literal) and `port`. False with a reason in
    // Error() when no address answered within the time-out.
    bool Connect(const std::string& host, int port, std::chrono::milliseconds timeout);

    // Binds and listens on `host`:`port` (port 0: the system picks one; see LocalPort).
    bool Listen(const std::string& host, int port, int backlog = 64);
    // Waits up to `timeout` for a connection on a listening socket. The result is closed
    // when none came.
    Socket Accept(std::chrono::milliseconds timeout);
    // The port the socket is bound to; 0 when unknown.
    int LocalPort() const;
    // The peer's address as text; empty when unknown.
    std::string PeerAddress() const;

    // Sends every byte, waiting at most `timeout` for the peer to take them.
    bool SendAll(std::string_view bytes, std::chrono::milliseconds timeout);
    // Reads until the peer closes, `limit` bytes have come, the time-out (for the whole
    // reply) passes, or, with `stopAtZero`, a zero byte arrives.
    Received Receive(std::size_t limit, std::chrono::milliseconds timeout, bool stopAtZero);
    // Tells the peer that nothing more will be sent.
    void ShutdownSend();

    void SetCancelFlag(const std::atomic<bool>* cancel) {
        cancel_ = cancel;
    }
    bool IsOpen() const;
    void Close();
    const std::string& Error() const {
        return error_;
    }

  private:
    explicit Socket(Native handle);
    bool Cancelled() const {
        return cancel_ != nullptr && cancel_->load();
    }
    // Waits for `events` (poll flags) in short slices so the cancel flag is seen; returns
    // 1 when ready, 0 on time-out, -1 on error or cancel.
    int Wait(short events, std::chrono::steady_clock::time_point deadline);

    Native handle_ = Invalid();
    const std::atomic<bool>* cancel_ = nullptr;
    std::string error_;

    static Native Invalid();
};

}  // namespace platform

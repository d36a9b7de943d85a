#include "platform/Socket.h"

#include <algorithm>
#include <cstring>

#include "platform/SocketCalls.h"

namespace platform {

using namespace socket_calls;

namespace {

using Clock = std::chrono::steady_clock;

// The cancel flag is looked at this often while waiting.
constexpr std::chrono::milliseconds kWaitSlice{100};

// Owns the list that getaddrinfo returns.
class AddressList {
  public:
    AddressList(const std::string& host, int port, bool passive) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = passive ? AI_PASSIVE : 0;
        std::string service = std::to_string(port);
        status_ =
            getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &list_);
        if (status_ != 0) {
            list_ = nullptr;
        }
    }
    ~AddressList() {
        if (list_ != nullptr) {
            freeaddrinfo(list_);
        }
    }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    addrinfo* begin() const { return list_; }
    std::string Error() const {
        return std::string("cannot resolve the address: ") + gai_strerror(status_);
    }

  private:
    addrinfo* list_ = nullptr;
    int status_ = 0;
};

int MillisecondsUntil(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, kWaitSlice.count()));
}

}  // namespace

Socket::Native Socket::Invalid() {
    return InvalidSocket();
}

Socket::Socket(Native handle) : handle_(handle) {}

Socket::~Socket() {
    Close();
}

Socket::Socket(Socket&& other) noexcept
    : handle_(other.handle_), cancel_(other.cancel_), error_(std::move(other.error_)) {
    other.handle_ = Invalid();
}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        cancel_ = other.cancel_;
        error_ = std::move(other.error_);
        other.handle_ = Invalid();
    }
    return *this;
}

bool Socket::IsOpen() const {
    return handle_ != Invalid();
}

void Socket::Close() {
    if (handle_ != Invalid()) {
        CloseSocket(handle_);
        handle_ = Invalid();
    }
}

int Socket::Wait(short events, Clock::time_point deadline) {
    for (;;) {
        if (Cancelled()) {
            error_ = "cancelled";
            return -1;
        }
        if (Clock::now() >= deadline) {
            return 0;
        }
        int rc = PollOne(handle_, events, MillisecondsUntil(deadline));
        if (rc > 0) {
            return 1;
        }
        if (rc < 0 && !Interrupted(LastError())) {
            error_ = ErrorText(LastError());
            return -1;
        }
    }
}

bool Socket::Connect(const std::string& host, int port, std::chrono::milliseconds timeout) {
    Close();
    AddressList addresses(host, port, false);
    if (addresses.begin() == nullptr) {
        error_ = addresses.Error();
        return false;
    }
    auto deadline = Clock::now() + timeout;
    error_ = "no address of " + host + " answered";
    for (addrinfo* a = addresses.begin(); a != nullptr; a = a->ai_next) {
        handle_ = NewStreamSocket(a->ai_family);
        if (handle_ == Invalid() || !SetNonBlocking(handle_)) {
            error_ = ErrorText(LastError());
            Close();
            continue;
        }
        int rc = ::connect(handle_, a->ai_addr, static_cast<int>(a->ai_addrlen));
        if (rc == 0) {
            return true;
        }
        if (!WouldBlock(LastError())) {
            error_ = ErrorText(LastError());
            Close();
            continue;
        }
        int ready = Wait(POLLOUT, deadline);
        if (ready == 1) {
            int soError = 0;
            socklen_t length = sizeof soError;
            getsockopt(handle_, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&soError), &length);
            if (soError == 0) {
                return true;
            }
            error_ = ErrorText(soError);
        } else if (ready == 0) {
            error_ = "connecting to " + host + " timed out";
        }
        Close();
        if (Cancelled() || Clock::now() >= deadline) {
            break;
        }
    }
    return false;
}

bool Socket::Listen(const std::string& host, int port, int backlog) {
    Close();
    AddressList addresses(host, port, true);
    if (addresses.begin() == nullptr) {
        error_ = addresses.Error();
        return false;
    }
    for (addrinfo* a = addresses.begin(); a != nullptr; a = a->ai_next) {
        handle_ = NewStreamSocket(a->ai_family);
        if (handle_ == Invalid()) {
            error_ = ErrorText(LastError());
            continue;
        }
        int on = 1;
        setsockopt(handle_, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&on),
                   sizeof on);
        if (::bind(handle_, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 &&
            ::listen(handle_, backlog) == 0 && SetNonBlocking(handle_)) {
            return true;
        }
        error_ = ErrorText(LastError());
        Close();
    }
    return false;
}

Socket Socket::Accept(std::chrono::milliseconds timeout) {
    if (Wait(POLLIN, Clock::now() + timeout) != 1) {
        return Socket();
    }
    Native peer = ::accept(handle_, nullptr, nullptr);
    if (peer == Invalid()) {
        error_ = ErrorText(LastError());
        return Socket();
    }
    Socket accepted(peer);
    if (!SetNonBlocking(peer)) {
        accepted.Close();
    }
    return accepted;
}

int Socket::LocalPort() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getsockname(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    if (address.ss_family == AF_INET) {
        return ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port);
    }
    return 0;
}

std::string Socket::PeerAddress() const {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(handle_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return {};
    }
    char text[INET6_ADDRSTRLEN] = {};
    const void* raw =
        address.ss_family == AF_INET
            ? static_cast<const void*>(&reinterpret_cast<sockaddr_in*>(&address)->sin_addr)
            : static_cast<const void*>(&reinterpret_cast<sockaddr_in6*>(&address)->sin6_addr);
    if (inet_ntop(address.ss_family, raw, text, sizeof text) == nullptr) {
        return {};
    }
    return text;
}

bool Socket::SendAll(std::string_view bytes, std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (!bytes.empty()) {
        long sent = SendSome(handle_, bytes.data(), bytes.size());
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        int error = LastError();
        if (sent < 0 && (WouldBlock(error) || Interrupted(error))) {
            int ready = Wait(POLLOUT, deadline);
            if (ready == 1) {
                continue;
            }
            if (ready == 0) {
                error_ = "sending timed out";
            }
            return false;
        }
        error_ = ErrorText(error);
        return false;
    }
    return true;
}

Received Socket::Receive(std::size_t limit, std::chrono::milliseconds timeout, bool stopAtZero) {
    Received result;
    auto deadline = Clock::now() + timeout;
    char chunk[16384];
    while (result.bytes.size() < limit) {
        int ready = Wait(POLLIN, deadline);
        if (ready == 0) {
            result.end = ReceiveEnd::TimedOut;
            return result;
        }
        if (ready < 0) {
            result.end = Cancelled() ? ReceiveEnd::Cancelled : ReceiveEnd::Failed;
            return result;
        }
        std::size_t want = std::min(sizeof chunk, limit - result.bytes.size());
        long got = ReceiveSome(handle_, chunk, want);
        if (got == 0) {
            result.end = ReceiveEnd::Closed;
            return result;
        }
        if (got < 0) {
            int error = LastError();
            if (WouldBlock(error) || Interrupted(error)) {
                continue;
            }
            error_ = ErrorText(error);
            result.end = ReceiveEnd::Failed;
            return result;
        }
        result.bytes.append(chunk, static_cast<std::size_t>(got));
        if (stopAtZero && std::memchr(chunk, '\0', static_cast<std::size_t>(got)) != nullptr) {
            result.end = ReceiveEnd::Terminated;
            return result;
        }
    }
    result.end = ReceiveEnd::Limit;
    return result;
}

void Socket::ShutdownSend() {
    ShutdownSending(handle_);
}

}  // namespace platform

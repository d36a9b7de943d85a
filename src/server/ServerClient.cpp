#include "server/ServerClient.h"

#include <chrono>

#include "job/Log.h"
#include "platform/HostIdentity.h"
#include "platform/Sockets.h"
#include "server/Frame.h"

namespace server {

namespace {

const char* EndName(ReceiveEnd end) {
    switch (end) {
        case ReceiveEnd::Closed:
        case ReceiveEnd::Terminated:
            return "answered";
        case ReceiveEnd::Limit:
            return "cut at its limit";
        case ReceiveEnd::TimedOut:
            return "timed out";
        case ReceiveEnd::Cancelled:
            return "cancelled";
        case ReceiveEnd::Failed:
            break;
    }
    return "connection broken";
}

// One line per exchange for support: the message code, how long it took and how it ended.
void LogExchange(Message message, std::chrono::steady_clock::time_point start,
                 const std::string& outcome) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    job::Log::Write(job::Log::Level::Info, std::string("server message ") +
                                               static_cast<char>(message) + ": " + outcome +
                                               " in " + std::to_string(ms) + " ms");
}

}  // namespace

ClientIdentity PlatformIdentity() {
    return ClientIdentity{&platform::MacAddressText, &platform::LocalIpv4Text};
}

ServerClient::ServerClient(ClientConfig config, ClientIdentity identity)
    : config_(std::move(config)), identity_(std::move(identity)) {}

std::string ServerClient::Mac() {
    std::lock_guard lock(macMutex_);
    if (!macKnown_) {
        mac_ = identity_.mac ? identity_.mac() : std::string();
        macKnown_ = true;
    }
    return mac_;
}

std::string ServerClient::Ip() {
    return identity_.ip ? identity_.ip() : std::string();
}

Connection ServerClient::Connect() {
    Socket socket;
    socket.SetCancelFlag(cancel_);
    if (!platform::InitSocketLibrary()) {
        return Connection(*this, std::move(socket), "the socket library is not available");
    }
    if (!socket.Connect(config_.host, config_.port, config_.connectTimeout)) {
        return Connection(*this, std::move(socket),
                          "cannot reach the data server " + config_.host + ":" +
                              std::to_string(config_.port) + ": " + socket.Error());
    }
    return Connection(*this, std::move(socket), {});
}

Reply ServerClient::Exchange(Message message, const std::vector<std::string>& fields,
                             std::size_t extraLength) {
    // An unconnected request answers nothing and logs why.
    return Connect().Request(message, fields, extraLength);
}

Reply Connection::Request(Message message, const std::vector<std::string>& fields,
                          std::size_t extraLength) {
    Reply reply;
    if (!socket_.IsOpen()) {
        job::Log::Write(job::Log::Level::Info, std::string("server message ") +
                                                   static_cast<char>(message) + ": " + error_);
        return reply;
    }
    const auto start = std::chrono::steady_clock::now();
    std::string frame = BuildMessage(message, client_.Mac(), client_.Ip(), fields, extraLength);
    const ClientConfig& config = client_.Config();
    if (socket_.SendAll(EncodeFrame(frame), config.receiveTimeout)) {
        Received received =
            socket_.Receive(LayoutOf(message).receiveLimit, config.receiveTimeout, true);
        reply.bytes = received.bytes.size();
        reply.cut = received.end == ReceiveEnd::Limit || received.end == ReceiveEnd::TimedOut ||
                    received.end == ReceiveEnd::Cancelled || received.end == ReceiveEnd::Failed;
        if (reply.Answered()) {
            reply.text = DecodeReply(received.bytes);
        }
        LogExchange(
            message, start,
            std::string(EndName(received.end)) + ", " + std::to_string(reply.bytes) + " bytes");
    } else {
        LogExchange(message, start, "not sent: " + socket_.Error());
    }
    socket_.Close();
    return reply;
}

}  // namespace server

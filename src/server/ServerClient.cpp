#include "server/ServerClient.h"

#include "platform/HostIdentity.h"
#include "platform/Sockets.h"
#include "server/Frame.h"

namespace server {

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
    Connection connection = Connect();
    if (!connection.Connected()) {
        return {};
    }
    return connection.Request(message, fields, extraLength);
}

Reply Connection::Request(Message message, const std::vector<std::string>& fields,
                          std::size_t extraLength) {
    Reply reply;
    if (!socket_.IsOpen()) {
        return reply;
    }
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
    }
    socket_.Close();
    return reply;
}

}  // namespace server

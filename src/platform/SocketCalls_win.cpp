#include <algorithm>

#include "platform/SocketCalls.h"

namespace platform::socket_calls {

Native InvalidSocket() {
    return INVALID_SOCKET;
}

Native NewStreamSocket(int family) {
    // Winsock sockets are not inherited unless a handle is marked so.
    return ::socket(family, SOCK_STREAM, 0);
}

void CloseSocket(Native s) {
    closesocket(s);
}

int LastError() {
    return WSAGetLastError();
}

bool WouldBlock(int error) {
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

bool Interrupted(int error) {
    return error == WSAEINTR;
}

bool SetNonBlocking(Native s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}

int PollOne(Native s, short events, int timeoutMs) {
    WSAPOLLFD fd{};
    fd.fd = s;
    fd.events = events;
    int rc = WSAPoll(&fd, 1, timeoutMs);
    return rc > 0 ? ((fd.revents & (events | POLLERR | POLLHUP)) != 0 ? 1 : 0) : rc;
}

long SendSome(Native s, const char* data, std::size_t size) {
    return send(s, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
}

long ReceiveSome(Native s, char* data, std::size_t size) {
    return recv(s, data, static_cast<int>(std::min<std::size_t>(size, 1 << 20)), 0);
}

std::string ErrorText(int error) {
    return "socket error " + std::to_string(error);
}

void ShutdownSending(Native s) {
    ::shutdown(s, SD_SEND);
}

}  // namespace platform::socket_calls

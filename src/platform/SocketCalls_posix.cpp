#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/SocketCalls.h"

namespace platform::socket_calls {

Native InvalidSocket() {
    return -1;
}

Native NewStreamSocket(int family) {
    return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
}

void CloseSocket(Native s) {
    ::close(s);
}

int LastError() {
    return errno;
}

bool WouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINPROGRESS;
}

bool Interrupted(int error) {
    return error == EINTR;
}

bool SetNonBlocking(Native s) {
    int flags = fcntl(s, F_GETFL, 0);
    return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}

int PollOne(Native s, short events, int timeoutMs) {
    pollfd fd{};
    fd.fd = s;
    fd.events = events;
    int rc = ::poll(&fd, 1, timeoutMs);
    return rc > 0 ? ((fd.revents & (events | POLLERR | POLLHUP)) != 0 ? 1 : 0) : rc;
}

long SendSome(Native s, const char* data, std::size_t size) {
    return ::send(s, data, size, MSG_NOSIGNAL);
}

long ReceiveSome(Native s, char* data, std::size_t size) {
    return ::recv(s, data, size, 0);
}

std::string ErrorText(int error) {
    return std::strerror(error);
}

void ShutdownSending(Native s) {
    ::shutdown(s, SHUT_WR);
}

}  // namespace platform::socket_calls

#pragma once
// For Socket.cpp and the tests' hand-made servers: the system's socket headers, which
// declare the calls that Winsock and BSD sockets share (getaddrinfo, connect, bind, ...),
// and the few calls in which they differ, defined in SocketCalls_win.cpp and
// SocketCalls_posix.cpp.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <cstddef>
#include <string>

#include "platform/Socket.h"

namespace platform::socket_calls {

using Native = Socket::Native;

Native InvalidSocket();
// A stream socket of `family` that child processes do not inherit.
Native NewStreamSocket(int family);
void CloseSocket(Native s);
// The error of the last failed call on this thread.
int LastError();
bool WouldBlock(int error);
bool Interrupted(int error);
bool SetNonBlocking(Native s);
// Waits up to `timeoutMs` for `events` (POLLIN, POLLOUT): 1 when ready (or when the peer
// hung up or failed, which the next call reports), 0 on time-out, below 0 on error.
int PollOne(Native s, short events, int timeoutMs);
// Sends or receives what the system takes at once: the byte count, or below 0 on error.
// Sending never raises SIGPIPE.
long SendSome(Native s, const char* data, std::size_t size);
long ReceiveSome(Native s, char* data, std::size_t size);
std::string ErrorText(int error);
void ShutdownSending(Native s);

}  // namespace platform::socket_calls

#include "platform/Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <csignal>
#endif

namespace platform {

bool InitSocketLibrary() {
#ifdef _WIN32
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
#else
    std::signal(SIGPIPE, SIG_IGN);
    return true;
#endif
}

}  // namespace platform

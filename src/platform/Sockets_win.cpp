#include <winsock2.h>

#include "platform/Sockets.h"

namespace platform {

bool InitSocketLibrary() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

}  // namespace platform

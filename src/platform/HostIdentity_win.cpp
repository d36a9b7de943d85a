// The IP helper header builds on the types of the socket headers.
// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
// clang-format on

#include <vector>

#include "platform/HostIdentity.h"

namespace platform {

std::string MacAddressText() {
    ULONG size = 0;
    if (GetAdaptersInfo(nullptr, &size) != ERROR_BUFFER_OVERFLOW || size == 0) {
        return {};
    }
    std::vector<unsigned char> buffer(size);
    auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    if (GetAdaptersInfo(info, &size) != NO_ERROR) {
        return {};
    }
    for (; info != nullptr; info = info->Next) {
        if (info->AddressLength >= 6) {
            return FormatMacAddress(info->Address);
        }
    }
    return {};
}

std::string LocalIpv4Text() {
    char host[256] = {};
    if (gethostname(host, sizeof host) != 0) {
        return {};
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* list = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &list) != 0 || list == nullptr) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr, text, sizeof text);
    freeaddrinfo(list);
    return text;
}

}  // namespace platform

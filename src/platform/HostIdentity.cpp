#include "platform/HostIdentity.h"

#include <cstdio>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <vector>
#else
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <unistd.h>
#endif

namespace platform {

namespace {
std::string FormatMac(const unsigned char* b) {
    char text[32];
    std::snprintf(text, sizeof text, "%x-%x-%x-%x-%x-%x", b[0], b[1], b[2], b[3], b[4], b[5]);
    return text;
}
}  // namespace

#ifdef _WIN32

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
            return FormatMac(info->Address);
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
    inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(list->ai_addr)->sin_addr, text,
              sizeof text);
    freeaddrinfo(list);
    return text;
}

#else

namespace {
// Owns the interface list returned by getifaddrs.
struct IfAddrs {
    ifaddrs* list = nullptr;
    IfAddrs() {
        if (getifaddrs(&list) != 0) {
            list = nullptr;
        }
    }
    ~IfAddrs() {
        if (list != nullptr) {
            freeifaddrs(list);
        }
    }
    IfAddrs(const IfAddrs&) = delete;
    IfAddrs& operator=(const IfAddrs&) = delete;
};
}  // namespace

std::string MacAddressText() {
    IfAddrs addrs;
    for (ifaddrs* a = addrs.list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_PACKET ||
            (a->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        const auto* ll = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
        if (ll->sll_halen < 6) {
            continue;
        }
        bool allZero = true;
        for (int i = 0; i < 6; ++i) {
            allZero = allZero && ll->sll_addr[i] == 0;
        }
        if (!allZero) {
            return FormatMac(ll->sll_addr);
        }
    }
    return {};
}

std::string LocalIpv4Text() {
    // Prefer a non-loopback address, as the address of the host name would be on a
    // configured machine; fall back to loopback so an offline machine still has one.
    IfAddrs addrs;
    std::string loopback;
    for (ifaddrs* a = addrs.list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, text,
                  sizeof text);
        if ((a->ifa_flags & IFF_LOOPBACK) != 0) {
            if (loopback.empty()) {
                loopback = text;
            }
            continue;
        }
        return text;
    }
    return loopback;
}

#endif

}  // namespace platform

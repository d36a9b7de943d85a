#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>

#include "platform/HostIdentity.h"

namespace platform {
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
            return FormatMacAddress(ll->sll_addr);
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

}  // namespace platform

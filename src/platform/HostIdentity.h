#pragma once

#include <string>

namespace platform {

// The hardware address of the first non-loopback network interface that has one, as
// "%x-%x-%x-%x-%x-%x" (lower-case hex, no leading zeros); empty when there is none.
std::string MacAddressText();

// The host's first IPv4 address in dotted form; empty when there is none.
std::string LocalIpv4Text();

// Six address bytes in the form MacAddressText uses.
std::string FormatMacAddress(const unsigned char* bytes);

}  // namespace platform

#include "platform/HostIdentity.h"

#include <cstdio>

namespace platform {

std::string FormatMacAddress(const unsigned char* b) {
    char text[32];
    std::snprintf(text, sizeof text, "%x-%x-%x-%x-%x-%x", b[0], b[1], b[2], b[3], b[4], b[5]);
    return text;
}

}  // namespace platform

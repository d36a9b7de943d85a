#include "platform/InterfaceFont.h"

namespace platform {

std::span<const char* const> InterfaceFontFamilies() {
    // YaHei reads best at 12 pixels; SimSun and SimHei stand in on systems without it.
    static const char* const families[] = {"Microsoft YaHei", "SimSun", "SimHei"};
    return families;
}

}  // namespace platform

#include "platform/InterfaceFont.h"

namespace platform {

std::span<const char* const> InterfaceFontFamilies() {
    static const char* const families[] = {"WenQuanYi Micro Hei", "Noto Sans CJK SC",
                                           "Source Han Sans SC", "Droid Sans Fallback"};
    return families;
}

}  // namespace platform

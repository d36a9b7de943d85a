#pragma once

#include <span>

namespace platform {

// The font families the user interface asks for, best first: the Chinese interface fonts
// this system usually has.
std::span<const char* const> InterfaceFontFamilies();

}  // namespace platform

#pragma once

#include <filesystem>
#include <string>

#include "platform/Paths.h"

// UTF-8 text as a path, and back, as the core names files.
inline std::filesystem::path U8Path(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// The helper program built beside the tests (HelperProgram.cpp).
inline std::string HelperProgram() {
    return platform::ExecutableDirectory() + "platform_test_helper" + platform::kExecutableSuffix;
}

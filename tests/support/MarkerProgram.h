#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Paths.h"

// The marker program (MarkerProgram.cpp), built as ravik_marker_program beside each test
// executable that starts it, on Linux and on Windows alike.
namespace markerprogram {

// What a program file is called on this system ("run" or "run.exe").
inline std::string FileName(const std::string& stem) {
    return stem + platform::kExecutableSuffix;
}

// Where the program was built.
inline std::filesystem::path Path() {
    const std::string path = platform::ExecutableDirectory() + FileName("ravik_marker_program");
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

// The program's bytes; empty when it was not built.
inline std::string Bytes() {
    std::ifstream in(Path(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace markerprogram

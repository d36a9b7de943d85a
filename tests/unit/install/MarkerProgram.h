#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "ZipBuilder.h"
#include "platform/Paths.h"

// The marker program (MarkerProgram.cpp), built beside the install tests: a tool that the
// tests install from an archive and start, on Linux and on Windows alike.
namespace markerprogram {

// What a tool's program file is called on this system ("run" or "run.exe").
inline std::string FileName(const std::string& stem) {
    return stem + platform::kExecutableSuffix;
}

// The program's bytes; empty when it was not built.
inline std::string Bytes() {
    const std::string path = platform::ExecutableDirectory() + FileName("install_marker_program");
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// An archive entry `name` holding the program, marked executable as a Unix zip tool marks it.
inline ziptest::Item Entry(const std::string& name) {
    ziptest::Item item = ziptest::File(name, Bytes());
    item.external = 0100755u << 16;
    return item;
}

}  // namespace markerprogram

#pragma once

#include <string>
#include <vector>

namespace platform {

// The program's arguments in UTF-8, without the program name. On Windows they come from the
// wide command line, since the narrow argv of main() holds them in the ANSI code page and
// loses every character outside it (a program directory named in Chinese on a machine set
// to another language); elsewhere argv already is UTF-8.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace platform

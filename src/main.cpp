#include <iostream>
#include <string>

#include "app/DeskApplication.h"
#include "platform/CommandLine.h"
#include "platform/ProductVersion.h"

int main(int argc, char** argv) {
    // Answered before any window system is touched, so they work without a display.
    for (const std::string& arg : platform::CommandLineArguments(argc, argv)) {
        if (arg == "--help" || arg == "-h") {
            std::cout << "usage: Ravik_desk [--data-dir DIR] [--server HOST:PORT]\n"
                         "The launcher. Its program directory is DIR, else $RAVIK_HOME, else the\n"
                         "executable's directory (per user when installed); --server replaces the\n"
                         "data server that launcher.ini names.\n";
            return 0;
        }
        if (arg == "--version") {
            std::cout << "Ravik_desk " << platform::kProductVersion << "\n";
            return 0;
        }
    }
    app::DeskApplication program(argc, argv);
    return program.Run();
}

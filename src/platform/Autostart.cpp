#include "platform/Autostart.h"

namespace platform {

std::string AutostartProgram() {
    const std::vector<std::string> command = AutostartCommand();
    return command.empty() ? std::string() : command.front();
}

}  // namespace platform

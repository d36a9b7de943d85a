#include <csignal>

#include "platform/Sockets.h"

namespace platform {

bool InitSocketLibrary() {
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

}  // namespace platform

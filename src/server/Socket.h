#pragma once

#include "platform/Socket.h"

namespace server {

// The data-server protocol runs over the platform's TCP socket.
using platform::Received;
using platform::ReceiveEnd;
using platform::Socket;

}  // namespace server

#pragma once

#include <chrono>
#include <cstddef>

namespace dataserver {

// The bounds both services put on their clients, so that no client, slow or hostile, holds
// more of the server than its share.
struct ServerLimits {
    using Duration = std::chrono::steady_clock::duration;

    // Connections open at once over both services; one more is closed as soon as it is
    // accepted. main derives the default from the number of files the process may open.
    std::size_t maxConnections = 10000;
    // How long a client may stay silent while sending its request.
    Duration readTimeout = std::chrono::seconds(10);
    // How long a whole frame exchange may take, from accepting to the reply sent.
    Duration exchangeTimeout = std::chrono::seconds(30);
    // How long a chunk of an HTTP reply may take to leave: a slow link may take long over
    // a large file, but it has to keep taking bytes.
    Duration transferTimeout = std::chrono::seconds(30);
    // After the reply the client's remaining bytes are read and dropped for this long, so
    // closing never resets a connection whose reply the client has not read yet.
    Duration drainTimeout = std::chrono::seconds(2);
    // At shutdown, how long requests already received may take to be answered.
    Duration shutdownTimeout = std::chrono::seconds(5);
    // No request frame is longer: the longest is a feedback with its reason text.
    std::size_t maxFrame = 16 * 1024;
    // An HTTP request head, and the body of a request to a route.
    std::size_t maxHttpHead = 16 * 1024;
    std::size_t maxHttpBody = 1024 * 1024;
};

}  // namespace dataserver

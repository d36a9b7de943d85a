#pragma once

namespace platform {

// Starts the socket library for the process (Winsock on Windows; nothing to do on POSIX,
// where it also makes a peer's close never raise SIGPIPE). Returns false when it fails.
bool InitSocketLibrary();

}  // namespace platform

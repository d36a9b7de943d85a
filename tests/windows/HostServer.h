#pragma once
// The Linux ravik-dataserver that ctest starts for the Windows road tests (host-dataserver),
// as the tests see it: its ports and the web directory it serves.
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

class HostServer {
  public:
    HostServer() {
        std::ifstream ports(std::filesystem::path(HOST_SERVER_STATE) / "ports");
        std::string name;
        int port = 0;
        while (ports >> name >> port) {
            (name == "tcp" ? port_ : httpPort_) = port;
        }
        if (port_ == 0 || httpPort_ == 0) {
            throw std::runtime_error("the host's ravik-dataserver is not running");
        }
    }
    int Port() const { return port_; }
    std::string Address() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string HttpBase() const { return "http://127.0.0.1:" + std::to_string(httpPort_); }
    // The directory its web service serves from.
    static std::filesystem::path Www() { return std::filesystem::path(HOST_SERVER_STATE) / "www"; }

  private:
    int port_ = 0;
    int httpPort_ = 0;
};

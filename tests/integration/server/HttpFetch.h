#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <sstream>
#include <string>

#include "server/Socket.h"

// One HTTP exchange over a raw socket, so that a request reaches the server exactly as
// written.
struct Response {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

inline Response Fetch(int port, const std::string& requestHead) {
    using namespace std::chrono_literals;
    server::Socket socket;
    EXPECT_TRUE(socket.Connect("127.0.0.1", port, 5s)) << socket.Error();
    socket.SendAll(requestHead, 5s);
    std::string bytes = socket.Receive(1 << 22, 30s, false).bytes;
    Response response;
    auto headEnd = bytes.find("\r\n\r\n");
    if (bytes.size() < 12 || headEnd == std::string::npos) {
        return response;
    }
    response.status = std::stoi(bytes.substr(9, 3));
    response.body = bytes.substr(headEnd + 4);
    std::istringstream head(bytes.substr(0, headEnd));
    std::string line;
    std::getline(head, line);
    while (std::getline(head, line)) {
        auto colon = line.find(':');
        std::string name = line.substr(0, colon);
        for (char& c : name) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(' '));
        value.erase(value.find_last_not_of("\r ") + 1);
        response.headers[name] = value;
    }
    return response;
}

inline std::string Get(const std::string& target, const std::string& headers = {},
                       const std::string& method = "GET") {
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
}

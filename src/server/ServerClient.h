#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "server/ClientConfig.h"
#include "server/Message.h"
#include "server/Socket.h"

namespace server {

// The two identity texts that open every request. Tests replace the platform's functions.
struct ClientIdentity {
    std::function<std::string()> mac;
    std::function<std::string()> ip;
};
ClientIdentity PlatformIdentity();

// What came back for one request.
struct Reply {
    std::size_t bytes = 0;  // bytes received, the terminating zero byte included
    bool cut = false;       // the limit or the time-out ended the reply: its end may be missing
    std::string text;       // decoded text; empty when the request went unanswered

    // A reply of 0 or 1 byte counts as no reply.
    bool Answered() const { return bytes > 1; }
};

class ServerClient;

// One exchange with the data server: an open connection that carries one request and its
// reply and is closed afterwards (or when the object goes away).
class Connection {
  public:
    bool Connected() const { return socket_.IsOpen(); }
    // Why the connection could not be made.
    const std::string& Error() const { return error_; }

    // Sends `message` with the client's identity and `fields`, reads the reply up to the
    // message's limit and closes the connection.
    Reply Request(Message message, const std::vector<std::string>& fields,
                  std::size_t extraLength = 0);

  private:
    friend class ServerClient;
    Connection(ServerClient& client, Socket socket, std::string error)
        : client_(client), socket_(std::move(socket)), error_(std::move(error)) {}

    ServerClient& client_;
    Socket socket_;
    std::string error_;
};

// A client of the data server: its address and time-outs, and the identity cache. Every
// exchange opens a socket of its own, so exchanges running at the same time on one client
// never share one. The MAC text is worked out once per client; the IP text on every request.
class ServerClient {
  public:
    explicit ServerClient(ClientConfig config, ClientIdentity identity = PlatformIdentity());
    ServerClient(const ServerClient&) = delete;
    ServerClient& operator=(const ServerClient&) = delete;

    // Connects for one exchange; see Connection::Connected.
    Connection Connect();

    // Connects, sends, reads and closes in one go; an unanswered Reply when the connection
    // could not be made.
    Reply Exchange(Message message, const std::vector<std::string>& fields,
                   std::size_t extraLength = 0);

    std::string Mac();
    std::string Ip();

    // A flag that, once set, ends waits on the network at once.
    void SetCancelFlag(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    const ClientConfig& Config() const { return config_; }

  private:
    friend class Connection;

    ClientConfig config_;
    ClientIdentity identity_;
    std::mutex macMutex_;
    bool macKnown_ = false;
    std::string mac_;
    const std::atomic<bool>* cancel_ = nullptr;
};

}  // namespace server

#pragma once

#include <array>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/thread_pool.hpp>
#include <functional>
#include <memory>
#include <string>

#include "ConnectionTracker.h"
#include "RateLimitedLog.h"
#include "ServerLimits.h"

namespace dataserver {

// What the connections of one service share.
struct ServiceContext {
    ConnectionTracker& tracker;
    const ServerLimits& limits;
    // Runs what blocks on the database, so that no network thread waits for it.
    boost::asio::thread_pool& workers;
    // For events worth a line each (a malformed request, a failed store).
    std::function<void(const std::string&)> log;
    // For events that come in floods (clients timing out).
    RateLimitedLog& floods;
};

// One client connection of either service. Its socket, timers and handlers all run on one
// strand, so no two of them run at once; work handed to the worker pool comes back to it
// with Post.
class Connection : public std::enable_shared_from_this<Connection> {
  public:
    using Socket = boost::asio::ip::tcp::socket;

    Connection(Socket socket, ServiceContext& context);
    virtual ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // From any thread: starts serving the client on the connection's strand (a connection
    // stopped before that never starts).
    void Launch();
    // From any thread: ends the connection unless it is answering a complete request; with
    // `force`, ends it in any case.
    void Stop(bool force);

  protected:
    // The first step of the exchange; runs on the strand.
    virtual void Start() = 0;
    template <class Derived>
    std::shared_ptr<Derived> Self() {
        return std::static_pointer_cast<Derived>(shared_from_this());
    }
    // Runs `task` on a worker thread and hands its result to `done` on this connection's
    // strand, unless the connection has closed meanwhile.
    template <class Task, class Done>
    void OnWorker(Task task, Done done);

    bool Closed() const { return closed_; }
    void Close();
    // Ends the connection once `after` has passed, logging `what` unless it is null.
    void Arm(boost::asio::steady_timer& timer, ServerLimits::Duration after, const char* what);
    // After the reply: nothing more is sent, the client's remaining bytes are read and
    // dropped for a while, then the connection closes.
    void FinishAfterReply();

    Socket socket_;
    ServiceContext& context_;
    std::string peer_;
    // Deadlines of the current step (reading, a chunk, draining) and of the whole exchange.
    boost::asio::steady_timer stepTimer_;
    boost::asio::steady_timer exchangeTimer_;
    // A complete request is being answered: a stop without force lets it finish.
    bool answering_ = false;

  private:
    void Drain(std::size_t left);

    bool closed_ = false;
    std::array<char, 4096> drained_{};
};

template <class Task, class Done>
void Connection::OnWorker(Task task, Done done) {
    boost::asio::post(context_.workers, [self = shared_from_this(), task = std::move(task),
                                         done = std::move(done)]() mutable {
        auto result = task();
        boost::asio::post(self->socket_.get_executor(),
                          [self, done = std::move(done), result = std::move(result)]() mutable {
                              if (!self->Closed()) {
                                  done(std::move(result));
                              }
                          });
    });
}

}  // namespace dataserver

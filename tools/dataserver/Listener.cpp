#include "Listener.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/strand.hpp>
#include <chrono>

#include "Connection.h"

namespace dataserver {

namespace asio = boost::asio;
using boost::asio::ip::tcp;

Listener::Listener(asio::io_context& io, ConnectionTracker& tracker, RateLimitedLog::LogFn log,
                   MakeConnection make)
    : io_(io),
      tracker_(tracker),
      make_(std::move(make)),
      acceptor_(asio::make_strand(io)),
      pause_(acceptor_.get_executor()),
      errors_(std::move(log)) {}

bool Listener::Listen(const std::string& host, int port) {
    boost::system::error_code ec;
    tcp::resolver resolver(io_);
    auto endpoints = resolver.resolve(host, std::to_string(port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || endpoints.empty()) {
        error_ = ec ? ec.message() : "no address";
        return false;
    }
    tcp::endpoint endpoint = endpoints.begin()->endpoint();
    if (acceptor_.open(endpoint.protocol(), ec) ||
        acceptor_.set_option(tcp::acceptor::reuse_address(true), ec) ||
        acceptor_.bind(endpoint, ec) ||
        acceptor_.listen(asio::socket_base::max_listen_connections, ec)) {
        error_ = ec.message();
        acceptor_.close(ec);
        return false;
    }
    port_ = acceptor_.local_endpoint(ec).port();
    return true;
}

void Listener::Start() {
    asio::dispatch(acceptor_.get_executor(), [this] { Accept(); });
}

void Listener::Stop() {
    asio::dispatch(acceptor_.get_executor(), [this] {
        boost::system::error_code ec;
        acceptor_.close(ec);
        pause_.cancel();
    });
}

void Listener::Accept() {
    // Each connection gets a strand of its own.
    acceptor_.async_accept(
        asio::make_strand(io_), [this](boost::system::error_code ec, Socket socket) {
            if (ec == asio::error::operation_aborted || !acceptor_.is_open()) {
                return;
            }
            if (ec) {
                errors_.Write("cannot accept a connection: " + ec.message());
                // Out of descriptors or memory: accepting again at once would only spin.
                if (ec == asio::error::no_descriptors || ec == asio::error::no_buffer_space ||
                    ec == asio::error::no_memory) {
                    pause_.expires_after(std::chrono::milliseconds(100));
                    pause_.async_wait([this](boost::system::error_code waited) {
                        if (!waited && acceptor_.is_open()) {
                            Accept();
                        }
                    });
                    return;
                }
            } else {
                boost::system::error_code peerError;
                auto peer = socket.remote_endpoint(peerError);
                std::string address = peerError ? std::string("?") : peer.address().to_string();
                std::shared_ptr<Connection> connection = make_(std::move(socket));
                if (tracker_.Add(connection, address)) {
                    connection->Launch();
                }
            }
            Accept();
        });
}

}  // namespace dataserver

#include "Connection.h"

#include <boost/asio/dispatch.hpp>

namespace dataserver {

Connection::Connection(Socket socket, ServiceContext& context)
    : socket_(std::move(socket)),
      context_(context),
      stepTimer_(socket_.get_executor()),
      exchangeTimer_(socket_.get_executor()) {
    boost::system::error_code ec;
    auto peer = socket_.remote_endpoint(ec);
    peer_ = ec ? std::string("?") : peer.address().to_string();
}

Connection::~Connection() {
    context_.tracker.Remove(this);
}

void Connection::Launch() {
    // The accepting thread is not the connection's strand: starting here directly would
    // race with a Stop arriving on the strand from the shutdown.
    boost::asio::dispatch(socket_.get_executor(), [self = shared_from_this()] {
        if (!self->closed_) {
            self->Start();
        }
    });
}

void Connection::Stop(bool force) {
    boost::asio::dispatch(socket_.get_executor(), [self = shared_from_this(), force] {
        if (force || !self->answering_) {
            self->Close();
        }
    });
}

void Connection::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    boost::system::error_code ec;
    socket_.close(ec);
    stepTimer_.cancel();
    exchangeTimer_.cancel();
}

void Connection::Arm(boost::asio::steady_timer& timer, ServerLimits::Duration after,
                     const char* what) {
    timer.expires_after(after);
    timer.async_wait([self = shared_from_this(), &timer, what](boost::system::error_code ec) {
        // A timer that was set again after it fired has not expired.
        if (ec || self->closed_ || timer.expiry() > std::chrono::steady_clock::now()) {
            return;
        }
        if (what != nullptr) {
            self->context_.floods.Write(self->peer_ + ": " + what + "; closed");
        }
        self->Close();
    });
}

void Connection::FinishAfterReply() {
    boost::system::error_code ec;
    socket_.shutdown(Socket::shutdown_send, ec);
    if (ec) {
        Close();
        return;
    }
    exchangeTimer_.cancel();
    Arm(stepTimer_, context_.limits.drainTimeout, nullptr);
    Drain(context_.limits.maxFrame);
}

void Connection::Drain(std::size_t left) {
    socket_.async_read_some(
        boost::asio::buffer(drained_),
        [self = shared_from_this(), left](boost::system::error_code ec, std::size_t n) {
            if (ec || self->closed_ || n >= left) {
                self->Close();
                return;
            }
            self->Drain(left - n);
        });
}

}  // namespace dataserver

#include "FrameConnection.h"

#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>

namespace dataserver {

namespace asio = boost::asio;

FrameConnection::FrameConnection(Socket socket, ServiceContext& context, RequestHandler& handler,
                                 ReportWriter& reports)
    : Connection(std::move(socket), context), handler_(handler), reports_(reports) {}

void FrameConnection::Start() {
    Arm(exchangeTimer_, context_.limits.exchangeTimeout, "the exchange took too long");
    Read();
}

void FrameConnection::Read() {
    Arm(stepTimer_, context_.limits.readTimeout, "no request within the read deadline");
    socket_.async_read_some(
        asio::buffer(buffer_),
        [self = Self<FrameConnection>()](boost::system::error_code ec, std::size_t n) {
            if (self->Closed()) {
                return;
            }
            self->request_.append(self->buffer_.data(), n);
            auto zero = self->request_.find('\0');
            if (zero != std::string::npos) {
                self->request_.resize(zero + 1);
            }
            if (self->request_.size() > self->context_.limits.maxFrame) {
                self->context_.log(self->peer_ + ": a request longer than " +
                                   std::to_string(self->context_.limits.maxFrame) +
                                   " bytes; not answered");
                self->Close();
                return;
            }
            // A frame ends with its zero byte, or when the client has finished sending.
            bool ended = ec == asio::error::eof;
            if (zero == std::string::npos && !ended) {
                if (ec) {
                    self->Close();
                } else {
                    self->Read();
                }
                return;
            }
            self->stepTimer_.cancel();
            if (self->request_.empty()) {
                self->Close();  // connected and left without a word (a port check)
                return;
            }
            self->Answer();
        });
}

void FrameConnection::Answer() {
    answering_ = true;
    FrameRequest request = handler_.Decode(request_, peer_);
    if (!request.Valid()) {
        context_.log(peer_ + ": " + request.problem + "; not answered");
        Close();
        return;
    }
    if (request.IsReport()) {
        std::string reply = RequestHandler::Acknowledgement(request);
        reports_.Submit(std::move(*request.report), [self = Self<FrameConnection>(),
                                                     reply = std::move(reply)](bool stored) {
            asio::post(self->socket_.get_executor(), [self, reply, stored]() mutable {
                if (!self->Closed() && stored) {
                    self->Send(std::move(reply));
                } else {
                    self->Close();
                }
            });
        });
        return;
    }
    if (request.report) {
        reports_.Submit(std::move(*request.report), {});
    }
    OnWorker(
        [this, request = std::move(request)] {
            std::string problem;
            std::string reply = handler_.Answer(request, problem);
            return std::make_pair(std::move(reply), std::move(problem));
        },
        [self = Self<FrameConnection>()](std::pair<std::string, std::string> answer) {
            if (answer.first.empty()) {
                self->context_.log(self->peer_ + ": " + answer.second + "; not answered");
                self->Close();
                return;
            }
            self->Send(std::move(answer.first));
        });
}

void FrameConnection::Send(std::string reply) {
    reply_ = std::move(reply);
    asio::async_write(socket_, asio::buffer(reply_),
                      [self = Self<FrameConnection>()](boost::system::error_code ec, std::size_t) {
                          if (self->Closed()) {
                              return;
                          }
                          if (ec) {
                              self->Close();
                              return;
                          }
                          self->FinishAfterReply();
                      });
}

}  // namespace dataserver

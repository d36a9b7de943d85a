#include "HttpConnection.h"

#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <cctype>
#include <exception>

namespace dataserver {

namespace asio = boost::asio;
namespace http = boost::beast::http;

namespace {

constexpr std::size_t kChunk = 64 * 1024;

// Whether `path` lies below `prefix`: "/admin" owns "/admin" and "/admin/x", not "/admins".
bool Owns(const std::string& prefix, const std::string& path) {
    return path.starts_with(prefix) &&
           (path.size() == prefix.size() || prefix.ends_with('/') || path[prefix.size()] == '/');
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::string ResponseBytes(const HttpResponse& response) {
    std::string head = "HTTP/1.1 " + std::to_string(response.status) + " " +
                       StaticFiles::Reason(response.status) +
                       "\r\nContent-Type: " + response.contentType +
                       "\r\nContent-Length: " + std::to_string(response.body.size()) + "\r\n";
    for (const auto& [name, value] : response.headers) {
        head += name + ": " + value + "\r\n";
    }
    return head + "Connection: close\r\n\r\n" + response.body;
}

}  // namespace

HttpConnection::HttpConnection(Socket socket, ServiceContext& context, const StaticFiles& files,
                               const std::vector<std::shared_ptr<HttpRoute>>& routes)
    : Connection(std::move(socket), context), files_(files), routes_(routes) {}

void HttpConnection::Start() {
    Arm(exchangeTimer_, context_.limits.readTimeout, "no complete HTTP request in time");
    head_.emplace();
    head_->header_limit(static_cast<std::uint32_t>(context_.limits.maxHttpHead));
    // Checked against a Content-Length as soon as the head is read.
    head_->body_limit(context_.limits.maxHttpBody);
    http::async_read_header(socket_, buffer_, *head_,
                            [self = Self<HttpConnection>()](boost::system::error_code ec,
                                                            std::size_t) { self->OnHead(ec); });
}

void HttpConnection::OnHead(boost::system::error_code ec) {
    if (Closed()) {
        return;
    }
    if (ec == http::error::header_limit) {
        SendText(StaticFiles::Error(431, true).head);
        return;
    }
    if (ec == http::error::body_limit) {
        RefuseBody();
        return;
    }
    if (ec && ec.category() == http::make_error_code(http::error::end_of_stream).category() &&
        ec != http::error::end_of_stream && ec != http::error::partial_message) {
        SendText(StaticFiles::Error(400, true).head);
        return;
    }
    if (ec) {
        Close();  // the client went away before its head was complete
        return;
    }
    const auto& request = head_->get();
    std::string path;
    if (StaticFiles::DecodePath(request.target(), path)) {
        for (const auto& route : routes_) {
            if (Owns(route->Prefix(), path)) {
                ReadBody(route);
                return;
            }
        }
    }
    answering_ = true;
    exchangeTimer_.cancel();
    SendFile(
        files_.Prepare(request.method_string(), request.target(), request[http::field::range]));
}

void HttpConnection::ReadBody(std::shared_ptr<HttpRoute> route) {
    whole_.emplace(std::move(*head_));
    whole_->body_limit(context_.limits.maxHttpBody);
    http::async_read(
        socket_, buffer_, *whole_,
        [self = Self<HttpConnection>(), route](boost::system::error_code ec, std::size_t) {
            if (self->Closed()) {
                return;
            }
            if (ec == http::error::body_limit) {
                self->RefuseBody();
                return;
            }
            if (ec) {
                self->Close();
                return;
            }
            self->Respond(*route);
        });
}

void HttpConnection::RefuseBody() {
    context_.log(peer_ + ": an HTTP request body over " +
                 std::to_string(context_.limits.maxHttpBody) + " bytes; refused");
    SendText(StaticFiles::Error(413, true).head);
}

void HttpConnection::Respond(HttpRoute& route) {
    answering_ = true;
    exchangeTimer_.cancel();
    auto message = whole_->release();
    HttpRequest request;
    request.method = message.method_string();
    std::string_view target = message.target();
    StaticFiles::DecodePath(target, request.path);
    auto question = target.find('?');
    if (question != std::string_view::npos) {
        request.query = target.substr(question + 1);
    }
    for (const auto& field : message) {
        request.headers[Lower(field.name_string())] = field.value();
    }
    request.body = std::move(message.body());
    request.peer = peer_;
    OnWorker(
        [&route, request = std::move(request), log = context_.log] {
            try {
                return ResponseBytes(route.Handle(request));
            } catch (const std::exception& e) {
                log("the route " + route.Prefix() + " failed: " + e.what());
                return StaticFiles::Error(500, true).head;
            }
        },
        [self = Self<HttpConnection>()](std::string bytes) { self->SendText(std::move(bytes)); });
}

void HttpConnection::SendText(std::string bytes) {
    answering_ = true;
    exchangeTimer_.cancel();
    FileReply reply;
    reply.head = std::move(bytes);
    SendFile(std::move(reply));
}

void HttpConnection::SendFile(FileReply reply) {
    file_ = std::move(reply);
    if (file_.count > 0) {
        file_.file.seekg(static_cast<std::streamoff>(file_.first));
    }
    out_ = std::move(file_.head);
    Write();
}

void HttpConnection::SendChunk() {
    if (file_.count == 0) {
        FinishAfterReply();
        return;
    }
    auto want = static_cast<std::size_t>(std::min<std::uint64_t>(file_.count, kChunk));
    out_.resize(want);
    if (!file_.file.read(out_.data(), static_cast<std::streamsize>(want))) {
        context_.log(peer_ + ": a served file could not be read to its end");
        Close();
        return;
    }
    file_.count -= want;
    Write();
}

void HttpConnection::Write() {
    // A deadline for each piece, not for the whole file: archives may be large and links
    // slow, but a client has to keep taking bytes.
    Arm(stepTimer_, context_.limits.transferTimeout, "an HTTP client stopped taking its reply");
    asio::async_write(socket_, asio::buffer(out_),
                      [self = Self<HttpConnection>()](boost::system::error_code ec, std::size_t) {
                          if (self->Closed()) {
                              return;
                          }
                          if (ec) {
                              self->Close();
                              return;
                          }
                          self->SendChunk();
                      });
}

}  // namespace dataserver

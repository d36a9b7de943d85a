#pragma once

#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/empty_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/string_body.hpp>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Connection.h"
#include "HttpRoute.h"
#include "StaticFiles.h"

namespace dataserver {

// One client of the HTTP service, one request per connection. A request whose path lies
// below a route's prefix is read whole (its body bounded) and answered by the route on a
// worker thread; any other is served from the static files, a file in chunks, each of which
// must leave within the transfer deadline.
class HttpConnection : public Connection {
  public:
    HttpConnection(Socket socket, ServiceContext& context, const StaticFiles& files,
                   const std::vector<std::shared_ptr<HttpRoute>>& routes);

  private:
    void Start() override;
    void OnHead(boost::system::error_code ec);
    void ReadBody(std::shared_ptr<HttpRoute> route);
    void RefuseBody();
    void Respond(HttpRoute& route);
    void SendFile(FileReply reply);
    void SendChunk();
    void Write();
    void SendText(std::string bytes);

    const StaticFiles& files_;
    const std::vector<std::shared_ptr<HttpRoute>>& routes_;
    boost::beast::flat_buffer buffer_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::empty_body>> head_;
    std::optional<boost::beast::http::request_parser<boost::beast::http::string_body>> whole_;
    FileReply file_;
    std::string out_;
};

}  // namespace dataserver

#include "WebServer.h"

#include "HttpConnection.h"

namespace dataserver {

WebServer::WebServer(boost::asio::io_context& io, ServiceContext& context,
                     const std::filesystem::path& root)
    : files_(root),
      listener_(io, context.tracker, context.log, [this, &context](Listener::Socket socket) {
          return std::make_shared<HttpConnection>(std::move(socket), context, files_, routes_);
      }) {}

}  // namespace dataserver

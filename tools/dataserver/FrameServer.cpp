#include "FrameServer.h"

#include "FrameConnection.h"

namespace dataserver {

FrameServer::FrameServer(boost::asio::io_context& io, ServiceContext& context,
                         RequestHandler& handler, ReportWriter& reports)
    : listener_(io, context.tracker, context.log,
                [&context, &handler, &reports](Listener::Socket socket) {
                    return std::make_shared<FrameConnection>(std::move(socket), context, handler,
                                                             reports);
                }) {}

}  // namespace dataserver

#pragma once

#include <boost/asio/io_context.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/thread_pool.hpp>
#include <condition_variable>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Connection.h"
#include "ConnectionTracker.h"
#include "FrameServer.h"
#include "HttpRoute.h"
#include "RateLimitedLog.h"
#include "ReportWriter.h"
#include "RequestHandler.h"
#include "ServerLimits.h"
#include "Store.h"
#include "WebServer.h"

namespace dataserver {

struct DataServerOptions {
    std::string listenHost = "127.0.0.1";
    int listenPort = 3130;
    // The HTTP service runs when `www` is not empty.
    std::string httpHost = "127.0.0.1";
    int httpPort = 0;
    std::filesystem::path www;
    // Its httpBase is filled in once the HTTP service listens.
    HandlerOptions handler;
    ServerLimits limits;
    // Threads for the network (0: one per processor) and for the store's blocking calls.
    std::size_t networkThreads = 0;
    std::size_t storeThreads = 4;
    // Stop on SIGINT and SIGTERM.
    bool stopOnSignals = false;
};

// Both services of the data server on a few network threads, the store's calls on a small
// pool of their own, and the report writer. Stops gracefully: no new connections, the ones
// without a complete request closed, requests already received answered (within the
// shutdown bound), every report received stored.
class DataServer {
  public:
    using LogFn = std::function<void(const std::string&)>;

    DataServer(Store& store, DataServerOptions options, LogFn log);
    ~DataServer();
    DataServer(const DataServer&) = delete;
    DataServer& operator=(const DataServer&) = delete;

    // Before Listen.
    void AddRoute(std::shared_ptr<HttpRoute> route);
    // Binds both services; false with Error().
    bool Listen();
    int Port() const { return frames_ ? frames_->Port() : 0; }
    int HttpPort() const { return web_ ? web_->Port() : 0; }
    const std::string& Error() const { return error_; }

    // Serves until Stop (or a signal), then shuts down and returns.
    void Run();
    // From any thread, a signal handler excepted.
    void Stop();

  private:
    void Shutdown();

    Store& store_;
    DataServerOptions options_;
    LogFn log_;
    ConnectionTracker tracker_;
    RateLimitedLog floods_;
    boost::asio::thread_pool workers_;
    ServiceContext context_;
    // After everything its pending handlers may reach when they are destroyed with it.
    boost::asio::io_context io_;
    ReportWriter writer_;
    std::unique_ptr<RequestHandler> handler_;
    std::unique_ptr<WebServer> web_;
    std::unique_ptr<FrameServer> frames_;
    boost::asio::signal_set signals_;
    std::mutex mutex_;
    std::condition_variable stopRequested_;
    bool stop_ = false;
    std::string error_;
};

}  // namespace dataserver

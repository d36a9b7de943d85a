#include "DataServer.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/address.hpp>

namespace dataserver {

namespace {

std::size_t NetworkThreads(std::size_t wanted) {
    if (wanted > 0) {
        return wanted;
    }
    unsigned processors = std::thread::hardware_concurrency();
    return processors > 0 ? processors : 2;
}

}  // namespace

DataServer::DataServer(Store& store, DataServerOptions options, LogFn log)
    : store_(store),
      options_(std::move(options)),
      log_(std::move(log)),
      tracker_(options_.limits.maxConnections, log_),
      floods_(log_),
      workers_(options_.storeThreads > 0 ? options_.storeThreads : 1),
      context_{tracker_, options_.limits, workers_, log_, floods_},
      io_(static_cast<int>(NetworkThreads(options_.networkThreads))),
      writer_(store, log_),
      signals_(io_) {
    if (!options_.www.empty()) {
        web_ = std::make_unique<WebServer>(io_, context_, options_.www);
    }
    // From now on, so that a signal arriving before Run still stops the server gracefully.
    if (options_.stopOnSignals) {
        signals_.add(SIGINT);
        signals_.add(SIGTERM);
    }
}

DataServer::~DataServer() {
    // Run joins every thread before it returns; without Run nothing has started.
    writer_.Close();
    workers_.join();
}

void DataServer::AddRoute(std::shared_ptr<HttpRoute> route) {
    if (web_) {
        web_->AddRoute(std::move(route));
    }
}

bool DataServer::Listen() {
    HandlerOptions handlerOptions = options_.handler;
    if (web_) {
        if (!web_->Listen(options_.httpHost, options_.httpPort)) {
            error_ = "cannot listen for HTTP on " + options_.httpHost + ":" +
                     std::to_string(options_.httpPort) + ": " + web_->Error();
            return false;
        }
        // Clients cannot reach an address that stands for every interface.
        boost::system::error_code ec;
        auto address = boost::asio::ip::make_address(options_.httpHost, ec);
        std::string host = ec || !address.is_unspecified() ? options_.httpHost : "127.0.0.1";
        handlerOptions.httpBase = "http://" + host + ":" + std::to_string(web_->Port());
    }
    handler_ = std::make_unique<RequestHandler>(store_, handlerOptions);
    frames_ = std::make_unique<FrameServer>(io_, context_, *handler_, writer_);
    if (!frames_->Listen(options_.listenHost, options_.listenPort)) {
        error_ = "cannot listen on " + options_.listenHost + ":" +
                 std::to_string(options_.listenPort) + ": " + frames_->Error();
        return false;
    }
    return true;
}

void DataServer::Stop() {
    std::lock_guard lock(mutex_);
    stop_ = true;
    stopRequested_.notify_all();
}

void DataServer::Run() {
    auto work = boost::asio::make_work_guard(io_);
    if (options_.stopOnSignals) {
        signals_.async_wait([this](boost::system::error_code ec, int) {
            if (!ec) {
                Stop();
            }
        });
    }
    frames_->Start();
    if (web_) {
        web_->Start();
    }
    std::vector<std::thread> threads;
    for (std::size_t i = NetworkThreads(options_.networkThreads); i > 0; --i) {
        threads.emplace_back([this] { io_.run(); });
    }
    {
        std::unique_lock lock(mutex_);
        stopRequested_.wait(lock, [this] { return stop_; });
    }
    Shutdown();
    work.reset();
    io_.stop();
    for (auto& thread : threads) {
        thread.join();
    }
}

void DataServer::Shutdown() {
    boost::system::error_code ec;
    signals_.cancel(ec);
    frames_->StopAccepting();
    if (web_) {
        web_->StopAccepting();
    }
    tracker_.StopAll(false);
    if (!tracker_.WaitUntilEmpty(options_.limits.shutdownTimeout)) {
        log_("stopping: requests still being answered after the shutdown bound; closed");
        tracker_.StopAll(true);
    }
    // Every report received is stored before the process ends, answered or not.
    writer_.Close();
    workers_.join();
}

}  // namespace dataserver

#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dialogtest {

// A loopback web server: serves byte strings by path (a range request gets its part), records
// every request target (path and query) and Range header, and can serve a file slowly (the
// first part at once, the rest when released) or break off halfway through. Unknown paths get
// 404.
class LoopbackWebServer {
  public:
    LoopbackWebServer() {
        server_.Get("/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
            Serve(req, res);
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~LoopbackWebServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        server_.stop();
        thread_.join();
    }
    LoopbackWebServer(const LoopbackWebServer&) = delete;
    LoopbackWebServer& operator=(const LoopbackWebServer&) = delete;

    enum class Mode { Whole, Slow, Broken };

    void Put(const std::string& path, std::string bytes, Mode mode = Mode::Whole,
             std::string type = "application/zip") {
        std::lock_guard lock(mutex_);
        files_[path] = {std::move(bytes), mode, std::move(type)};
    }
    // Lets slow files send their rest.
    void Release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        wake_.notify_all();
    }
    std::vector<std::string> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    // The Range header of each request, in order; empty where there was none.
    std::vector<std::string> RangeHeaders() const {
        std::lock_guard lock(mutex_);
        return ranges_;
    }
    std::string Base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string Url(const std::string& path) const { return Base() + path; }
    int Port() const { return port_; }

    // How much of a slow file goes out before it waits.
    static constexpr std::size_t kSlowHead = 64 * 1024;

  private:
    struct File {
        std::string bytes;
        Mode mode;
        std::string type;
    };

    void Serve(const httplib::Request& req, httplib::Response& res) {
        File file;
        {
            std::lock_guard lock(mutex_);
            requests_.push_back(req.target);
            ranges_.push_back(req.get_header_value("Range"));
            auto found = files_.find(req.path);
            if (found == files_.end()) {
                res.status = 404;
                res.set_content("<html>not found</html>", "text/html");
                return;
            }
            file = found->second;
        }
        if (file.mode == Mode::Whole) {
            res.set_content(file.bytes, file.type);
            return;
        }
        const std::size_t size = file.bytes.size();
        res.set_content_provider(
            size, file.type,
            [this, file = std::move(file)](std::size_t offset, std::size_t length,
                                           httplib::DataSink& sink) {
                const std::size_t half = file.bytes.size() / 2;
                if (file.mode == Mode::Broken && offset >= half) {
                    return false;
                }
                if (file.mode == Mode::Slow && offset >= kSlowHead) {
                    std::unique_lock lock(mutex_);
                    wake_.wait(lock, [this] { return released_ || stopping_; });
                    if (stopping_) {
                        return false;
                    }
                }
                std::size_t end = offset + std::min<std::size_t>(length, 16 * 1024);
                if (file.mode == Mode::Broken) {
                    end = std::min(end, half);
                }
                if (file.mode == Mode::Slow && offset < kSlowHead) {
                    end = std::min(end, kSlowHead);
                }
                return sink.write(file.bytes.data() + offset, end - offset);
            });
    }

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    bool stopping_ = false;
    std::map<std::string, File> files_;
    std::vector<std::string> requests_;
    std::vector<std::string> ranges_;
};

}  // namespace dialogtest

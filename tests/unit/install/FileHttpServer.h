#pragma once

#include <httplib.h>

#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A well-behaved loopback web server for tests: serves byte strings by path (with range
// support), answers a given status for other paths, and redirects /moved/<x> to /<x>.
class FileHttpServer {
  public:
    FileHttpServer() {
        server_.Get("/moved/(.*)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect("/" + req.matches[1].str());
        });
        server_.Get("/status/(\\d+)", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1].str());
            res.set_content("<html>error page</html>", "text/html");
        });
        server_.Get("/redirect-to", [](const httplib::Request& req, httplib::Response& res) {
            res.set_redirect(req.get_param_value("url"));
        });
        server_.Get("/(.*)", [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            auto found = files_.find("/" + req.matches[1].str());
            if (found == files_.end()) {
                res.status = 404;
                res.set_content("not found", "text/plain");
                return;
            }
            res.set_content(found->second, "application/zip");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    ~FileHttpServer() {
        server_.stop();
        thread_.join();
    }

    void Put(const std::string& path, std::string bytes) {
        std::lock_guard lock(mutex_);
        files_[path] = std::move(bytes);
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }

  private:
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::map<std::string, std::string> files_;
};

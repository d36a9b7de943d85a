// Routes on the data server's HTTP service (the hook the operator console uses) and the
// service staying responsive while clients or routes are slow.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <string>

#include "HttpFetch.h"
#include "InProcessServer.h"

namespace {

using namespace std::chrono_literals;

// Answers with what it was given; "/echo/fail" throws, "/echo/wait" waits for Release.
class EchoRoute : public dataserver::HttpRoute {
  public:
    std::string Prefix() const override { return "/echo"; }
    dataserver::HttpResponse Handle(const dataserver::HttpRequest& request) override {
        ++calls;
        if (request.path == "/echo/fail") {
            throw std::runtime_error("the route broke");
        }
        if (request.path == "/echo/wait") {
            std::unique_lock lock(mutex_);
            waiting_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
        }
        dataserver::HttpResponse response;
        response.status = request.method == "POST" ? 201 : 200;
        response.contentType = "text/x-echo";
        response.headers.emplace_back("X-Echo-Agent", request.headers.count("user-agent") > 0
                                                          ? request.headers.at("user-agent")
                                                          : "");
        response.body =
            request.method + " " + request.path + " [" + request.query + "] " + request.body;
        return response;
    }
    void AwaitWaiting() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_; });
    }
    void Release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

    std::atomic<int> calls{0};

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool waiting_ = false;
    bool released_ = false;
};

std::string Post(const std::string& target, const std::string& body) {
    return "POST " + target + " HTTP/1.1\r\nHost: x\r\nUser-Agent: t/1\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

class WebRoutesRoad : public ::testing::Test {
  protected:
    WebRoutesRoad() : server_(Options()) {
        server_.server->AddRoute(route_);
        server_.Start();
    }
    static dataserver::DataServerOptions Options() {
        dataserver::DataServerOptions options;
        options.limits.maxHttpBody = 4096;
        // One thread each: a network thread that waited for anything would show at once.
        options.networkThreads = 1;
        options.storeThreads = 2;
        return options;
    }
    int Port() { return server_.server->HttpPort(); }

    std::shared_ptr<EchoRoute> route_ = std::make_shared<EchoRoute>();
    InProcessServer server_;
};

TEST_F(WebRoutesRoad, RequestsBelowThePrefixGoToTheRoute) {
    struct Case {
        const char* name;
        std::string request;
        int status;
        std::string body;
    } cases[] = {
        {"a POST with a body and a query", Post("/echo/x%20y?a=1?b=2", "name=value"), 201,
         "POST /echo/x y [a=1?b=2] name=value"},
        {"the prefix itself", Get("/echo"), 200, "GET /echo [] "},
        {"a body sent in chunks",
         "POST /echo/c HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
         "3\r\nabc\r\n2\r\nde\r\n0\r\n\r\n",
         201, "POST /echo/c [] abcde"},
        {"a path that only begins like the prefix is a file", Get("/echoes"), 404,
         "404 Not Found\n"},
        {"a file beside the route", Get("/notes.txt"), 200, "some notes"},
        {"a route that fails", Get("/echo/fail"), 500, "500 Internal Server Error\n"},
        {"a body over the bound", Post("/echo/big", std::string(5000, 'b')), 413,
         "413 Payload Too Large\n"},
        {"a chunked body over the bound",
         "POST /echo/c HTTP/1.1\r\nHost: x\r\nTransfer-Encoding: chunked\r\n\r\n"
         "1000\r\n" +
             std::string(4096, 'c') + "\r\n1\r\nc\r\n0\r\n\r\n",
         413, "413 Payload Too Large\n"},
    };
    for (const Case& c : cases) {
        Response response = Fetch(Port(), c.request);
        EXPECT_EQ(response.status, c.status) << c.name;
        EXPECT_EQ(response.body, c.body) << c.name;
        EXPECT_EQ(response.headers["connection"], "close") << c.name;
    }
    Response echoed = Fetch(Port(), Post("/echo/h", ""));
    EXPECT_EQ(echoed.headers["content-type"], "text/x-echo");
    EXPECT_EQ(echoed.headers["x-echo-agent"], "t/1");
    // The oversized body never reached the route: the three routed cases, the failing one
    // and this last one did.
    EXPECT_EQ(route_->calls.load(), 5);
    EXPECT_NE(server_.Log().find("the route /echo failed: the route broke"), std::string::npos)
        << server_.Log();
}

// A route busy on the database and a client that does not read its download hold nothing
// the next request needs, though the server has a single network thread.
TEST_F(WebRoutesRoad, SlowRoutesAndSlowClientsDoNotHoldUpOtherRequests) {
    server_.Data().Write("www/big.zip", std::string(32 << 20, 'z'));
    server::Socket reader;
    ASSERT_TRUE(reader.Connect("127.0.0.1", Port(), 5s));
    ASSERT_TRUE(reader.SendAll(Get("/big.zip"), 5s));
    auto waiting =
        std::async(std::launch::async, [this] { return Fetch(Port(), Get("/echo/wait")); });
    route_->AwaitWaiting();

    Response file = Fetch(Port(), Get("/notes.txt"));
    EXPECT_EQ(file.body, "some notes");
    Response other = Fetch(Port(), Get("/echo/other"));
    EXPECT_EQ(other.body, "GET /echo/other [] ");

    route_->Release();
    EXPECT_EQ(waiting.get().body, "GET /echo/wait [] ");
    // The reader still gets its whole file once it reads.
    std::string bytes = reader.Receive(64 << 20, 60s, false).bytes;
    EXPECT_TRUE(bytes.ends_with(std::string(1000, 'z')));
    EXPECT_EQ(bytes.size() - bytes.find("\r\n\r\n") - 4, std::size_t{32} << 20);
}

}  // namespace

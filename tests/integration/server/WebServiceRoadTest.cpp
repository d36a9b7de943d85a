// ravik-dataserver's static web service, spoken to with raw requests so that targets reach
// it exactly as the launcher's web boxes and downloader send them.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "HttpFetch.h"
#include "Programs.h"

namespace {

using namespace std::chrono_literals;

// Bytes that differ from their neighbours, so a range taken from the wrong offset shows.
std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 251) % 256);
    }
    return bytes;
}

class WebServiceRoad : public ::testing::Test {
  protected:
    WebServiceRoad() {
        www_.Write("www/load/LoadingPage.htm", "<html>loading</html>");
        www_.Write("www/pages/index.html", "<html>pages</html>");
        www_.Write("www/notes.txt", "some notes");
        www_.Write("www/with space.css", "p {}");
        www_.Write("www/empty/.keep", "");
        www_.Write("outside.txt", "private");
        std::filesystem::create_symlink(www_.path() / "outside.txt", www_.path() / "www/link.txt");
    }

    TempDir www_;
    TempDir data_;
};

TEST_F(WebServiceRoad, ServesTheFileThePathNames) {
    DataServerProcess server(data_ / "data.db", "", www_ / "www");
    std::string page = "/load/LoadingPage.htm";
    std::string introduction =
        "127.0.0.1:" + std::to_string(server.HttpPort()) + "/rv_intro.php?aid=5";
    struct Case {
        const char* name;
        std::string request;
        int status;
        std::string body;  // for HEAD: what Content-Length counts
    } cases[] = {
        {"a loading page whose query holds a second '?'", Get(page + "?q=" + introduction), 200,
         "<html>loading</html>"},
        {"a loading page with a fragment", Get(page + "?q=x#top"), 200, "<html>loading</html>"},
        {"a plain file", Get("/notes.txt"), 200, "some notes"},
        {"a directory", Get("/pages"), 200, "<html>pages</html>"},
        {"a directory with a slash and a query", Get("/pages/?a=1"), 200, "<html>pages</html>"},
        {"doubled and dot parts", Get("//pages/./index.html"), 200, "<html>pages</html>"},
        {"a percent-encoded name", Get("/with%20space.css"), 200, "p {}"},
        {"HEAD", Get("/notes.txt", {}, "HEAD"), 200, "some notes"},
        {"a missing file", Get("/nothing.png"), 404, "404 Not Found\n"},
        {"a directory without index", Get("/empty/"), 404, "404 Not Found\n"},
        {"HEAD of a missing file", Get("/nothing.png", {}, "HEAD"), 404, "404 Not Found\n"},
        {"a link leading out of the directory", Get("/link.txt"), 404, "404 Not Found\n"},
        {"a '..' part", Get("/../outside.txt"), 400, "400 Bad Request\n"},
        {"an encoded '..' part", Get("/%2e%2e/outside.txt"), 400, "400 Bad Request\n"},
        {"an encoded '..' deeper down", Get("/pages/%2E%2E/%2e%2E/outside.txt"), 400,
         "400 Bad Request\n"},
        {"an encoded backslash", Get("/..%5coutside.txt"), 400, "400 Bad Request\n"},
        {"an encoded NUL", Get("/notes.txt%00.png"), 400, "400 Bad Request\n"},
        {"a broken escape", Get("/notes%2"), 400, "400 Bad Request\n"},
        {"a target that is not a path", Get("notes.txt"), 400, "400 Bad Request\n"},
        {"not HTTP", "hello\r\n\r\n", 400, "400 Bad Request\n"},
        {"a header line without a colon", Get("/notes.txt", "Broken\r\n"), 400,
         "400 Bad Request\n"},
        {"POST", Get("/notes.txt", "Content-Length: 0\r\n", "POST"), 405,
         "405 Method Not Allowed\n"},
    };
    for (const auto& c : cases) {
        Response response = Fetch(server.HttpPort(), c.request);
        EXPECT_EQ(response.status, c.status) << c.name;
        bool head = c.request.starts_with("HEAD");
        EXPECT_EQ(response.body, head ? "" : c.body) << c.name;
        EXPECT_EQ(response.headers["content-length"], std::to_string(c.body.size())) << c.name;
        EXPECT_EQ(response.headers["connection"], "close") << c.name;
    }
    EXPECT_EQ(Fetch(server.HttpPort(), Get("/notes.txt", {}, "DELETE")).headers["allow"],
              "GET, HEAD");
}

TEST_F(WebServiceRoad, NamesTheContentTypeByExtension) {
    struct Case {
        const char* file;
        const char* type;
    } cases[] = {
        {"a.html", "text/html; charset=utf-8"},
        {"a.HTM", "text/html; charset=utf-8"},
        {"desk/jc.shtml", "text/html; charset=utf-8"},
        {"rv_intro.php", "text/html; charset=utf-8"},
        {"a.css", "text/css"},
        {"a.js", "text/javascript"},
        {"a.json", "application/json"},
        {"a.png", "image/png"},
        {"a.jpg", "image/jpeg"},
        {"a.jpeg", "image/jpeg"},
        {"a.gif", "image/gif"},
        {"a.svg", "image/svg+xml"},
        {"favicon.ico", "image/x-icon"},
        {"tools/20301.zip", "application/zip"},
        {"a.txt", "text/plain; charset=utf-8"},
        {"a.dat", "application/octet-stream"},
        {"README", "application/octet-stream"},
    };
    for (const auto& c : cases) {
        www_.Write(std::string("www/") + c.file, "x");
    }
    DataServerProcess server(data_ / "data.db", "", www_ / "www");
    for (const auto& c : cases) {
        Response response = Fetch(server.HttpPort(), Get(std::string("/") + c.file + "?aid=1"));
        EXPECT_EQ(response.status, 200) << c.file;
        EXPECT_EQ(response.headers["content-type"], c.type) << c.file;
    }
}

// Downloads resume with a range; the file spans several of the chunks it is sent in.
TEST_F(WebServiceRoad, ServesOneByteRange) {
    const std::size_t size = 200000;
    const std::string bytes = Pattern(size);
    www_.Write("www/tools/big.zip", bytes);
    www_.Write("www/tools/empty.zip", "");
    DataServerProcess server(data_ / "data.db", "", www_ / "www");
    struct Case {
        const char* file;
        std::string range;
        int status;
        std::string contentRange;
        std::size_t first;
        std::size_t count;
    } cases[] = {
        {"big.zip", "bytes=0-9", 206, "bytes 0-9/200000", 0, 10},
        {"big.zip", "bytes=65530-131080", 206, "bytes 65530-131080/200000", 65530, 65551},
        {"big.zip", "bytes=199990-", 206, "bytes 199990-199999/200000", 199990, 10},
        {"big.zip", "bytes=100000-", 206, "bytes 100000-199999/200000", 100000, 100000},
        {"big.zip", "bytes=-10", 206, "bytes 199990-199999/200000", 199990, 10},
        {"big.zip", "bytes=-500000", 206, "bytes 0-199999/200000", 0, size},
        {"big.zip", "bytes=150000-999999999999999999999", 206, "bytes 150000-199999/200000", 150000,
         50000},
        {"big.zip", "bytes=199999-199999", 206, "bytes 199999-199999/200000", 199999, 1},
        {"big.zip", "bytes=200000-", 416, "bytes */200000", 0, 0},
        {"big.zip", "bytes=999999999999999999999-", 416, "bytes */200000", 0, 0},
        {"big.zip", "bytes=-0", 416, "bytes */200000", 0, 0},
        {"empty.zip", "bytes=0-", 416, "bytes */0", 0, 0},
        // Ranges this server does not serve are ignored: the whole file comes.
        {"big.zip", "bytes=5-2", 200, "", 0, size},
        {"big.zip", "bytes=0-1,5-6", 200, "", 0, size},
        {"big.zip", "items=0-5", 200, "", 0, size},
        {"big.zip", "bytes=a-b", 200, "", 0, size},
        {"big.zip", "", 200, "", 0, size},
        {"empty.zip", "", 200, "", 0, 0},
    };
    for (const auto& c : cases) {
        std::string headers = c.range.empty() ? "" : "Range: " + c.range + "\r\n";
        std::string name = std::string(c.file) + " " + c.range;
        Response response = Fetch(server.HttpPort(), Get(std::string("/tools/") + c.file, headers));
        EXPECT_EQ(response.status, c.status) << name;
        EXPECT_EQ(response.headers["content-range"], c.contentRange) << name;
        if (c.status != 416) {
            EXPECT_EQ(response.headers["content-length"], std::to_string(c.count)) << name;
            EXPECT_TRUE(response.body == bytes.substr(c.first, c.count)) << name;
        }
        Response head =
            Fetch(server.HttpPort(), Get(std::string("/tools/") + c.file, headers, "HEAD"));
        EXPECT_EQ(head.status, c.status) << "HEAD " << name;
        EXPECT_EQ(head.headers["content-range"], c.contentRange) << "HEAD " << name;
        EXPECT_EQ(head.body, "") << "HEAD " << name;
    }
}

TEST_F(WebServiceRoad, ClientsThatMisbehaveDoNotStopTheService) {
    DataServerProcess server(data_ / "data.db", "", www_ / "www");
    // One client sends half a head and waits; another sends a head too large to keep.
    server::Socket silent;
    ASSERT_TRUE(silent.Connect("127.0.0.1", server.HttpPort(), 5s));
    ASSERT_TRUE(silent.SendAll("GET /notes.txt HTTP/1.1\r\nHost: x\r\n", 5s));
    Response large = Fetch(server.HttpPort(),
                           Get("/notes.txt", "X-Filler: " + std::string(20000, 'a') + "\r\n"));
    EXPECT_EQ(large.status, 431);
    Response response = Fetch(server.HttpPort(), Get("/notes.txt"));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "some notes");
    // The half-sent request is answered once it is complete.
    ASSERT_TRUE(silent.SendAll("\r\n", 5s));
    std::string reply = silent.Receive(1 << 16, 30s, false).bytes;
    EXPECT_TRUE(reply.starts_with("HTTP/1.1 200 OK\r\n")) << reply;
    EXPECT_TRUE(reply.ends_with("\r\n\r\nsome notes")) << reply;
}

}  // namespace

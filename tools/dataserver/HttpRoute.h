#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dataserver {

// One HTTP request as a route sees it, independent of the server that parsed it.
struct HttpRequest {
    std::string method;                          // "GET", "POST", ...
    std::string path;                            // decoded, without the query
    std::string query;                           // raw, without the '?'
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string peer;
};

struct HttpResponse {
    int status = 200;
    std::string contentType = "text/plain; charset=utf-8";
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers;  // besides the content type
};

// A part of the HTTP service that answers requests below a path prefix itself instead of
// serving files (the operator console). Handle may block on the database: the server calls
// it off its network threads, from several threads at once.
class HttpRoute {
  public:
    virtual ~HttpRoute() = default;
    // The path prefix this route owns, such as "/admin".
    virtual std::string Prefix() const = 0;
    virtual HttpResponse Handle(const HttpRequest& request) = 0;
};

}  // namespace dataserver

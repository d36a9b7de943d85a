#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "ConsoleSessions.h"
#include "HttpRoute.h"
#include "Store.h"

namespace dataserver {

// The operator console under /admin: the page's files (built into the server, served to
// anyone, since they hold no data) and a JSON API under /admin/api/ that needs the operator
// token, given once to open a session cookie or on every call as "Authorization: Bearer".
//
//   POST   /admin/api/session   {"token": "..."}: sets the session cookie
//   DELETE /admin/api/session   ends the session
//   GET    /admin/api/catalog?q=TEXT   games with their tools, other tools, removals,
//                                      version data and ranking; q filters by id or text;
//                                      "removed" marks records clients no longer have
//   POST   /admin/api/games     one game, added or replaced by id
//   POST   /admin/api/tools     one tool, added or replaced by id
//   POST   /admin/api/removals  {"games": [ids], "tools": [ids]}
//   POST   /admin/api/version   {"version", "sertime", "clientadd"}
//   POST   /admin/api/ranking   {"games": [{"id", "position"}]}
//   GET    /admin/api/usage?days=N
//
// Every publication gets a new stamp from the store; a stamp in the body is ignored.
// Calls that change something take only application/json bodies: a browser sends those
// cross-site only after asking, and the session cookie is SameSite=Strict besides.
class AdminConsole : public HttpRoute {
  public:
    using Clock = ConsoleSessions::Clock;

    AdminConsole(Store& store, std::string token,
                 std::function<Clock::time_point()> now = Clock::now);

    std::string Prefix() const override { return "/admin"; }
    HttpResponse Handle(const HttpRequest& request) override;

  private:
    HttpResponse Api(const HttpRequest& request, const std::string& call);
    HttpResponse OpenSession(const HttpRequest& request);
    bool Authorised(const HttpRequest& request);
    HttpResponse Catalog(const std::string& query);
    HttpResponse Publish(const std::string& call, const std::string& body);
    HttpResponse Usage(const std::string& query);

    Store& store_;
    const std::string token_;
    std::function<Clock::time_point()> now_;
    ConsoleSessions sessions_;
};

}  // namespace dataserver

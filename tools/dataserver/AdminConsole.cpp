#include "AdminConsole.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>

#include "CatalogEdit.h"
#include "CatalogEditJson.h"
#include "ConsoleAssets.h"

namespace dataserver {

namespace {

using nlohmann::json;

const std::string kCookie = "ravik_console";
const std::string kApi = "/admin/api/";

void AddCommonHeaders(HttpResponse& response) {
    response.headers.emplace_back("X-Content-Type-Options", "nosniff");
    response.headers.emplace_back("X-Frame-Options", "DENY");
    response.headers.emplace_back("Referrer-Policy", "no-referrer");
}

HttpResponse JsonResponse(int status, const json& body) {
    HttpResponse response;
    response.status = status;
    response.contentType = "application/json; charset=utf-8";
    // Texts from clients' reports need not be valid UTF-8; they must not break the reply.
    response.body = body.dump(-1, ' ', false, json::error_handler_t::replace);
    response.headers.emplace_back("Cache-Control", "no-store");
    return response;
}

HttpResponse Error(int status, const std::string& message) {
    return JsonResponse(status, {{"error", message}});
}

std::string Header(const HttpRequest& request, const std::string& name) {
    auto found = request.headers.find(name);
    return found == request.headers.end() ? std::string() : found->second;
}

std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// One parameter of a form-encoded query ("+" is a space), empty when missing.
std::string QueryValue(const std::string& query, const std::string& name) {
    std::size_t at = 0;
    while (at <= query.size()) {
        std::size_t end = std::min(query.find('&', at), query.size());
        std::string pair = query.substr(at, end - at);
        std::size_t equals = pair.find('=');
        if (pair.substr(0, equals) == name) {
            std::string raw = equals == std::string::npos ? std::string() : pair.substr(equals + 1);
            std::string value;
            for (std::size_t i = 0; i < raw.size(); ++i) {
                if (raw[i] == '+') {
                    value += ' ';
                } else if (raw[i] == '%' && i + 2 < raw.size() &&
                           std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
                           std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
                    value += static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
                    i += 2;
                } else {
                    value += raw[i];
                }
            }
            return value;
        }
        at = end + 1;
    }
    return {};
}

std::string CookieValue(const HttpRequest& request, const std::string& name) {
    std::string cookies = Header(request, "cookie");
    std::size_t at = 0;
    while (at < cookies.size()) {
        std::size_t end = std::min(cookies.find(';', at), cookies.size());
        std::string pair = cookies.substr(at, end - at);
        pair.erase(0, std::min(pair.find_first_not_of(' '), pair.size()));
        if (pair.starts_with(name + "=")) {
            return pair.substr(name.size() + 1);
        }
        at = end + 1;
    }
    return {};
}

// Equal texts, compared in time that does not depend on where they differ: both are hashed
// to a fixed length first, so neither the length nor a common prefix shows.
bool SameSecret(const std::string& a, const std::string& b) {
    std::array<unsigned char, crypto_generichash_BYTES> ha, hb;
    crypto_generichash(ha.data(), ha.size(), reinterpret_cast<const unsigned char*>(a.data()),
                       a.size(), nullptr, 0);
    crypto_generichash(hb.data(), hb.size(), reinterpret_cast<const unsigned char*>(b.data()),
                       b.size(), nullptr, 0);
    return sodium_memcmp(ha.data(), hb.data(), ha.size()) == 0;
}

// A request that changes something must carry JSON and, when the browser names its origin,
// come from the console's own page. Returns the refusal, or nothing.
std::optional<HttpResponse> RefusedWrite(const HttpRequest& request) {
    std::string type = AsciiLower(Header(request, "content-type"));
    if (!type.starts_with("application/json")) {
        return Error(415, "请求内容必须是 application/json");
    }
    std::string origin = Header(request, "origin");
    std::string host = Header(request, "host");
    if (!origin.empty() && origin != "http://" + host && origin != "https://" + host) {
        return Error(403, "请求来自其他网站");
    }
    return std::nullopt;
}

bool Matches(const std::string& needle, uint32_t id,
             std::initializer_list<const std::string*> texts) {
    if (std::to_string(id) == needle) {
        return true;
    }
    return std::any_of(texts.begin(), texts.end(), [&needle](const std::string* text) {
        return AsciiLower(*text).find(needle) != std::string::npos;
    });
}

json CountsJson(const std::vector<UsageCount>& counts) {
    json list = json::array();
    for (const UsageCount& c : counts) {
        list.push_back({{"label", c.label}, {"count", c.count}});
    }
    return list;
}

}  // namespace

AdminConsole::AdminConsole(Store& store, std::string token, std::function<Clock::time_point()> now)
    : store_(store),
      token_(std::move(token)),
      now_(std::move(now)),
      sessions_(std::chrono::hours(12)) {}

HttpResponse AdminConsole::Handle(const HttpRequest& request) {
    HttpResponse response;
    try {
        if (request.path.starts_with(kApi)) {
            response = Api(request, request.path.substr(kApi.size()));
        } else if (request.method != "GET" && request.method != "HEAD") {
            response = Error(405, "只能读取页面文件");
            response.headers.emplace_back("Allow", "GET, HEAD");
        } else if (request.path == "/admin") {
            // The page's own addresses are relative to the directory.
            response.status = 302;
            response.headers.emplace_back("Location", "/admin/");
        } else {
            std::string name =
                request.path.substr(std::min(request.path.size(), Prefix().size() + 1));
            const ConsoleAsset* asset = FindConsoleAsset(name.empty() ? "index.html" : name);
            if (asset == nullptr) {
                response = Error(404, "没有这个页面");
            } else {
                response.contentType = std::string(asset->contentType);
                response.body = std::string(asset->body);
                response.headers.emplace_back("Cache-Control", "no-cache");
                response.headers.emplace_back(
                    "Content-Security-Policy",
                    "default-src 'self'; style-src 'self' 'unsafe-inline'; img-src 'self' data:; "
                    "frame-ancestors 'none'");
            }
        }
    } catch (const std::exception& e) {
        response = Error(500, std::string("服务器内部错误: ") + e.what());
    }
    AddCommonHeaders(response);
    return response;
}

HttpResponse AdminConsole::Api(const HttpRequest& request, const std::string& call) {
    bool write = request.method != "GET" && request.method != "HEAD";
    if (write) {
        if (auto refused = RefusedWrite(request)) {
            return *refused;
        }
    }
    if (call == "session") {
        if (request.method == "POST") {
            return OpenSession(request);
        }
        if (request.method == "DELETE") {
            sessions_.Close(CookieValue(request, kCookie));
            HttpResponse response = JsonResponse(200, {{"ok", true}});
            response.headers.emplace_back("Set-Cookie", kCookie +
                                                            "=; Path=/admin; HttpOnly; "
                                                            "SameSite=Strict; Max-Age=0");
            return response;
        }
        return Error(405, "不支持的请求方法");
    }
    if (!Authorised(request)) {
        return Error(401, "需要正确的令牌");
    }
    static const std::set<std::string> kPublications = {"games", "tools", "removals", "version",
                                                        "ranking"};
    if (call == "catalog" || call == "usage") {
        if (write) {
            return Error(405, "不支持的请求方法");
        }
        return call == "catalog" ? Catalog(request.query) : Usage(request.query);
    }
    if (kPublications.contains(call)) {
        if (request.method != "POST") {
            return Error(405, "不支持的请求方法");
        }
        return Publish(call, request.body);
    }
    return Error(404, "没有这个接口");
}

HttpResponse AdminConsole::OpenSession(const HttpRequest& request) {
    json body = json::parse(request.body, nullptr, false);
    if (!body.is_object() || !body.contains("token") || !body["token"].is_string() ||
        !SameSecret(body["token"].get<std::string>(), token_)) {
        return Error(401, "令牌不正确");
    }
    std::string id = sessions_.Open(now_());
    auto seconds = std::chrono::duration_cast<std::chrono::seconds>(sessions_.Lifetime());
    HttpResponse response = JsonResponse(200, {{"ok", true}});
    response.headers.emplace_back("Set-Cookie", kCookie + "=" + id +
                                                    "; Path=/admin; HttpOnly; SameSite=Strict; "
                                                    "Max-Age=" +
                                                    std::to_string(seconds.count()));
    return response;
}

bool AdminConsole::Authorised(const HttpRequest& request) {
    std::string authorization = Header(request, "authorization");
    const std::string bearer = "Bearer ";
    if (authorization.size() > bearer.size() &&
        AsciiLower(authorization.substr(0, bearer.size())) == AsciiLower(bearer)) {
        return SameSecret(authorization.substr(bearer.size()), token_);
    }
    std::string session = CookieValue(request, kCookie);
    return !session.empty() && sessions_.Valid(session, now_());
}

HttpResponse AdminConsole::Catalog(const std::string& query) {
    std::string needle = AsciiLower(QueryValue(query, "q"));
    std::vector<GameRecord> games = store_.Games();
    std::vector<ToolRecord> tools = store_.Tools();
    std::set<uint32_t> gameIds;
    for (const GameRecord& g : games) {
        gameIds.insert(g.id);
    }
    auto toolMatches = [&needle](const ToolRecord& t) {
        return needle.empty() || Matches(needle, t.id, {&t.title, &t.info, &t.exename, &t.url});
    };

    // A record is gone for clients when a removal names it at or after its own stamp.
    std::map<uint32_t, uint32_t> gameRemovedAt, toolRemovedAt;
    std::vector<RemovalRecord> removalRecords = store_.Removals();
    for (const RemovalRecord& r : removalRecords) {
        for (uint32_t id : r.games) {
            gameRemovedAt[id] = std::max(gameRemovedAt[id], r.time);
        }
        for (uint32_t id : r.tools) {
            toolRemovedAt[id] = std::max(toolRemovedAt[id], r.time);
        }
    }
    auto toolJson = [&toolRemovedAt](const ToolRecord& t) {
        json entry = ToJson(t);
        entry["removed"] = toolRemovedAt.contains(t.id) && toolRemovedAt.at(t.id) >= t.time;
        return entry;
    };

    json gameList = json::array();
    for (const GameRecord& g : games) {
        bool gameMatches =
            needle.empty() || Matches(needle, g.id, {&g.title, &g.info, &g.exename, &g.downurl});
        json ownTools = json::array();
        for (const ToolRecord& t : tools) {
            if (t.gameId == g.id && (gameMatches || toolMatches(t))) {
                ownTools.push_back(toolJson(t));
            }
        }
        if (gameMatches || !ownTools.empty()) {
            json entry = ToJson(g);
            entry["removed"] = gameRemovedAt.contains(g.id) && gameRemovedAt.at(g.id) >= g.time;
            entry["tools"] = std::move(ownTools);
            gameList.push_back(std::move(entry));
        }
    }
    // General tools, and tools whose game is not (or no longer) stored.
    json otherTools = json::array();
    for (const ToolRecord& t : tools) {
        if (!gameIds.contains(t.gameId) && toolMatches(t)) {
            otherTools.push_back(toolJson(t));
        }
    }
    json removals = json::array();
    for (const RemovalRecord& r : removalRecords) {
        removals.push_back(ToJson(r));
    }
    Ranking ranking = store_.CurrentRanking();
    json entries = json::array();
    for (const RankingEntry& e : ranking.entries) {
        entries.push_back({{"id", e.gameId}, {"position", e.position}});
    }
    VersionData version = store_.CurrentVersion();
    return JsonResponse(200, {{"games", std::move(gameList)},
                              {"tools", std::move(otherTools)},
                              {"removals", std::move(removals)},
                              {"ranking", {{"stamp", ranking.stamp}, {"games", entries}}},
                              {"version",
                               {{"version", version.version},
                                {"sertime", version.sertime},
                                {"clientadd", version.clientadd}}},
                              {"newestStamp", store_.NewestStamp()}});
}

HttpResponse AdminConsole::Publish(const std::string& call, const std::string& body) {
    json part = json::parse(body, nullptr, false);
    if (!part.is_object()) {
        return Error(400, "请求内容不是 JSON 对象");
    }
    // Stamps are the store's to give: a publication always gets one above every other.
    part.erase("TIME");
    if (call == "ranking") {
        part.erase("stamp");
    }
    json edit = call == "games" || call == "tools" || call == "removals"
                    ? json{{call, json::array({part})}}
                    : json{{call, part}};
    uint32_t stamp = 0;
    try {
        CatalogEdit parsed = EditFromJson(edit);
        CheckEdit(parsed);
        CheckToolGames(store_, parsed);
        stamp = store_.Publish(parsed);
    } catch (const StoreError& e) {
        return Error(400, e.what());
    }
    return JsonResponse(200, {{"stamp", stamp}});
}

HttpResponse AdminConsole::Usage(const std::string& query) {
    int days = 30;
    std::string text = QueryValue(query, "days");
    if (!text.empty()) {
        if (text.size() > 4 ||
            !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return Error(400, "days 必须是 1 到 366 之间的整数");
        }
        days = std::stoi(text);
    }
    if (days < 1 || days > 366) {
        return Error(400, "days 必须是 1 到 366 之间的整数");
    }
    UsageSummary usage = store_.Usage(days);
    json dayList = json::array();
    for (const UsageDay& d : usage.days) {
        dayList.push_back({{"day", d.day}, {"starts", d.starts}, {"clients", d.clients}});
    }
    return JsonResponse(200, {{"days", std::move(dayList)},
                              {"toolRuns", CountsJson(usage.toolRuns)},
                              {"feedbackReasons", CountsJson(usage.feedbackReasons)},
                              {"versions", CountsJson(usage.versions)}});
}

}  // namespace dataserver

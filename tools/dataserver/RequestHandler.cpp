#include "RequestHandler.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "platform/CodePage.h"
#include "server/Frame.h"
#include "server/Message.h"

namespace dataserver {

namespace {

using server::kFieldSeparator;
using server::kRecordSeparator;

// Bytes of a catalog reply besides its records: the header fields, the closing record and
// the two zero bytes.
constexpr std::size_t kCatalogReplyOverhead = 64;

// A number the client wrote with "%d".
bool ParseInteger(const std::string& text, int64_t& value) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    if (i == text.size() || text.size() > 11) {
        return false;
    }
    for (std::size_t k = i; k < text.size(); ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return false;
        }
    }
    value = std::stoll(text);
    return true;
}

// Texts from the database must not carry the separators the client splits at.
std::string Clean(std::string text) {
    for (char& c : text) {
        if (c == kFieldSeparator || c == kRecordSeparator || c == '\0') {
            c = ' ';
        }
    }
    return text;
}

std::string Join(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            text += kFieldSeparator;
        }
        text += Clean(fields[i]);
    }
    return text;
}

// Removal id lists: the client reads a list only when it is at least 5 characters long, so
// every id is written with at least 5 digits.
std::string RemovalIds(const std::vector<uint32_t>& ids) {
    std::string text;
    for (uint32_t id : ids) {
        std::string digits = std::to_string(id);
        if (digits.size() < 5) {
            digits.insert(0, 5 - digits.size(), '0');
        }
        if (!text.empty()) {
            text += ',';
        }
        text += digits;
    }
    return text;
}

std::string Reply(char code, const std::vector<std::string>& fields) {
    std::vector<std::string> cleaned;
    for (const auto& field : fields) {
        cleaned.push_back(Clean(field));
    }
    return server::EncodeFrame(server::BuildFrame(code, cleaned, true));
}

// The fields each request carries after its code and length, the identity included.
std::size_t ExpectedFields(server::Message message) {
    switch (message) {
        case server::Message::VersionCheck:
        case server::Message::StartReport:
            return 4;
        case server::Message::CatalogQuery:
        case server::Message::RankingQuery:
            return 3;
        case server::Message::Feedback:
        case server::Message::RunReport:
            return 6;
    }
    return 0;
}

// What a catalog reply is never cut inside: a removal record, a game with the tools no newer
// than it, or a tool on its own. Its stamp is the newest stamp among its records, the one
// the client raises lasttime to.
struct Unit {
    uint32_t stamp;
    int kind;  // removals, then games, then tools, at one stamp
    std::vector<std::string> records;
};

}  // namespace

RequestHandler::RequestHandler(Store& store, HandlerOptions options)
    : store_(store), options_(std::move(options)), catalogCache_(options_.catalogCacheSize) {}

std::string RequestHandler::Expand(std::string text) const {
    static const std::string kPlaceholder = "{{http}}";
    for (auto at = text.find(kPlaceholder); at != std::string::npos;
         at = text.find(kPlaceholder, at + options_.httpBase.size())) {
        text.replace(at, kPlaceholder.size(), options_.httpBase);
    }
    return text;
}

FrameRequest RequestHandler::Decode(std::string_view bytes, const std::string& peer) const {
    FrameRequest request;
    auto zero = bytes.find('\0');
    if (zero != std::string_view::npos) {
        bytes = bytes.substr(0, zero);
    }
    // The code decides how the message is framed, so it is read before the frame is parsed.
    if (bytes.size() < 2 || bytes[0] != server::kStartMark) {
        request.problem = "not a frame";
        return request;
    }
    const std::string codes = "123489";
    if (codes.find(bytes[1]) == std::string::npos) {
        request.problem = std::string("unknown message code '") + bytes[1] + "'";
        return request;
    }
    request.message = static_cast<server::Message>(bytes[1]);
    server::ParsedFrame frame = server::ParseFrame(
        platform::AnsiToUtf8(bytes), server::LayoutOf(request.message).trailingSeparator);
    if (!frame.Ok()) {
        request.problem = frame.problem;
        return request;
    }
    const std::vector<std::string>& body = frame.fields;
    if (body.size() != ExpectedFields(request.message)) {
        request.problem = "expected " + std::to_string(ExpectedFields(request.message)) +
                          " fields, got " + std::to_string(body.size());
        return request;
    }
    // Only the feedback's length counts more than its frame: its reason text once more.
    std::size_t extra =
        request.message == server::Message::Feedback ? server::Utf16Length(body[5]) : 0;
    if (frame.extraLength != extra) {
        request.problem = "the length field counts " + std::to_string(frame.extraLength) +
                          " beyond the frame's characters instead of " + std::to_string(extra);
        return request;
    }

    Report report;
    report.peer = peer;
    report.mac = body[0];
    report.ip = body[1];
    switch (request.message) {
        case server::Message::VersionCheck:
            // Kept as a report too: it tells which release each client runs.
            request.argument = body[2];
            report.kind = "check";
            report.sertime = body[2];
            break;
        case server::Message::CatalogQuery:
        case server::Message::RankingQuery:
            request.argument = body[2];
            return request;
        case server::Message::StartReport:
            report.kind = "start";
            report.time = body[2];
            report.firstStart = body[3];
            break;
        case server::Message::RunReport:
            report.kind = "run";
            report.time = body[5];
            if (!ParseInteger(body[2], report.toolId) || !ParseInteger(body[3], report.gameId) ||
                !ParseInteger(body[4], report.type)) {
                request.problem = "a run report with a field that is not a number";
                return request;
            }
            break;
        case server::Message::Feedback:
            report.kind = "feedback";
            report.time = body[2];
            report.reason = body[5];
            if (!ParseInteger(body[3], report.gameId) || !ParseInteger(body[4], report.itemId)) {
                request.problem = "a feedback with a field that is not a number";
                return request;
            }
            break;
    }
    request.report = std::move(report);
    return request;
}

std::string RequestHandler::Answer(const FrameRequest& request, std::string& problem) {
    try {
        switch (request.message) {
            case server::Message::VersionCheck:
                return VersionReply(request.argument);
            case server::Message::CatalogQuery:
                return catalogCache_.Get(store_.CatalogGeneration(),
                                         server::LeadingNumber(request.argument),
                                         [&] { return CatalogReply(request.argument); });
            case server::Message::RankingQuery:
                return RankingReply(request.argument);
            default:
                problem = "a report is not a query";
                return {};
        }
    } catch (const StoreError& e) {
        problem = std::string("cannot read the store: ") + e.what();
        return {};
    }
}

std::string RequestHandler::Acknowledgement(const FrameRequest& request) {
    return Reply(static_cast<char>(request.message), {"0", "1"});
}

std::string RequestHandler::VersionReply(const std::string& sertime) {
    VersionData version = store_.CurrentVersion();
    bool newer = !version.sertime.empty() &&
                 server::LeadingNumber(version.sertime) > server::LeadingNumber(sertime);
    if (!newer) {
        return Reply('1', {"0", "0"});
    }
    return Reply('1', {"0", "1", version.sertime, version.version, Expand(version.clientadd)});
}

std::string RequestHandler::RankingReply(const std::string& pxtime) {
    Ranking ranking = store_.CurrentRanking();
    if (ranking.stamp.empty() || ranking.entries.empty() || ranking.stamp == pxtime) {
        return Reply('9', {"0", "0"});
    }
    std::string list;
    for (const RankingEntry& entry : ranking.entries) {
        if (!list.empty()) {
            list += '|';
        }
        list += std::to_string(entry.gameId) + "," + std::to_string(entry.position);
    }
    return Reply('9', {"0", "1", list, ranking.stamp});
}

std::vector<std::string> RequestHandler::CatalogRecords(uint32_t lasttime) {
    const CatalogChanges changes = store_.ChangesAfter(lasttime);
    std::vector<Unit> units;
    for (const RemovalRecord& r : changes.removals) {
        units.push_back({r.time,
                         0,
                         {Join({"R" + options_.removalMarker, RemovalIds(r.games),
                                RemovalIds(r.tools), std::to_string(r.time), ""})}});
    }
    std::map<uint32_t, std::size_t> gameUnits;  // game id -> its unit
    for (const GameRecord& g : changes.games) {
        gameUnits[g.id] = units.size();
        units.push_back({g.time,
                         1,
                         {Join({"", "186", std::to_string(g.id), "", Expand(g.title), "", "",
                                Expand(g.info), Expand(g.downurl), Expand(g.exename), Expand(g.png),
                                Expand(g.site), Expand(g.showweb), "", std::to_string(g.time)})}});
    }
    for (const ToolRecord& t : changes.tools) {
        // A tool removed after its own stamp is gone: a client that had it receives (or
        // received) the removal, and sending it again with its game would bring it back.
        auto removed = changes.toolRemovedAt.find(t.id);
        if (removed != changes.toolRemovedAt.end() && removed->second > t.time) {
            continue;
        }
        // Nor is a tool of a game clients do not hold: it could not be stored, so its stamp
        // would never be recorded and every later query would bring it again.
        if (t.gameId != 0 && changes.liveGames.count(t.gameId) == 0) {
            continue;
        }
        std::string text =
            Join({"", std::to_string(t.type), std::to_string(t.gameId), std::to_string(t.id),
                  Expand(t.title), Expand(t.version), std::to_string(t.scale), Expand(t.info),
                  Expand(t.url), Expand(t.exename), Expand(t.pngurl), "", "", Expand(t.note),
                  std::to_string(t.time)});
        // A tool no newer than its game travels in the game's unit, right after it: the
        // client needs the game first, and a later query (above the game's stamp) would never
        // select the tool by its own stamp again.
        auto game = gameUnits.find(t.gameId);
        if (game != gameUnits.end() && t.time <= units[game->second].stamp) {
            units[game->second].records.push_back(std::move(text));
        } else {
            units.push_back({t.time, 2, {std::move(text)}});
        }
    }
    std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.kind < b.kind;
    });

    // Send as many units as the client reads, and cut only between two stamps: every unit
    // left out is then newer than every stamp sent, so the next query, from the newest
    // stamp the client stored, selects exactly what was left out.
    const std::size_t budget = options_.catalogReplyLimit > kCatalogReplyOverhead
                                   ? options_.catalogReplyLimit - kCatalogReplyOverhead
                                   : 0;
    std::size_t sent = 0;
    std::size_t used = 0;
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (i > 0 && units[i].stamp != units[i - 1].stamp) {
            sent = i;
        }
        for (const std::string& record : units[i].records) {
            used += platform::Utf8ToAnsi(record).size() + 1;
        }
        if (used > budget) {
            break;
        }
        if (i + 1 == units.size()) {
            sent = units.size();
        }
    }
    if (sent == 0) {
        // The oldest stamp's units alone are over the budget: they go anyway, or the client
        // would never get past them.
        while (sent < units.size() && units[sent].stamp == units.front().stamp) {
            ++sent;
        }
    }
    std::vector<std::string> records;
    for (std::size_t i = 0; i < sent; ++i) {
        for (std::string& record : units[i].records) {
            records.push_back(std::move(record));
        }
    }
    return records;
}

std::string RequestHandler::CatalogReply(const std::string& lasttime) {
    const std::vector<std::string> records = CatalogRecords(server::LeadingNumber(lasttime));
    std::string payload = std::to_string(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        payload += (i == 0 ? kFieldSeparator : kRecordSeparator);
        payload += records[i];
    }
    payload += kRecordSeparator;
    return server::EncodeFrame(server::BuildFrame('3', {payload}, false));
}

}  // namespace dataserver

#include "CatalogEditJson.h"

#include <cstdint>
#include <fstream>
#include <iostream>
#include <limits>
#include <set>
#include <string>

namespace dataserver {

namespace {

using nlohmann::json;

// One JSON object being read: knows where it sits for error messages and refuses keys
// nobody asked for.
class JsonRecord {
  public:
    JsonRecord(const json& object, std::string where, std::set<std::string> known)
        : object_(object), where_(std::move(where)) {
        if (!object_.is_object()) {
            Refuse("is not an object");
        }
        for (const auto& [key, value] : object_.items()) {
            if (known.count(key) == 0) {
                Refuse("has an unknown key \"" + key + "\"");
            }
        }
    }

    // A text; numbers are taken as their digits.
    std::string Text(const char* key) const {
        auto it = object_.find(key);
        if (it == object_.end() || it->is_null()) {
            return {};
        }
        if (it->is_string()) {
            return it->get<std::string>();
        }
        if (it->is_number_integer()) {
            return it->dump();
        }
        Refuse(std::string("has \"") + key + "\" that is not a text");
    }

    // An integer within [low, high], written as a number or as a text of digits; `fallback`
    // when the key is missing.
    int64_t Number(const char* key, int64_t low, int64_t high, int64_t fallback) const {
        auto it = object_.find(key);
        if (it == object_.end() || it->is_null()) {
            return fallback;
        }
        return Checked(*it, key, low, high);
    }

    // A list of positive ids.
    std::vector<uint32_t> Ids(const char* key) const {
        std::vector<uint32_t> ids;
        auto it = object_.find(key);
        if (it == object_.end() || it->is_null()) {
            return ids;
        }
        if (!it->is_array()) {
            Refuse(std::string("has \"") + key + "\" that is not a list");
        }
        for (const json& id : *it) {
            ids.push_back(
                static_cast<uint32_t>(Checked(id, key, 1, std::numeric_limits<uint32_t>::max())));
        }
        return ids;
    }

    const json& object() const { return object_; }
    [[noreturn]] void Refuse(const std::string& what) const {
        throw StoreError(where_ + " " + what);
    }

  private:
    int64_t Checked(const json& value, const char* key, int64_t low, int64_t high) const {
        int64_t number = 0;
        if (value.is_number_integer()) {
            number = value.get<int64_t>();
            if (value.is_number_unsigned() && value.get<uint64_t>() > uint64_t(high)) {
                number = high + 1;  // refused below, without the wrap to a negative
            }
        } else if (value.is_string()) {
            const std::string text = value.get<std::string>();
            std::size_t used = 0;
            try {
                number = std::stoll(text, &used);
            } catch (const std::exception&) {
                used = 0;
            }
            if (text.empty() || used != text.size()) {
                Refuse(std::string("has \"") + key + "\" that is not a number");
            }
        } else {
            Refuse(std::string("has \"") + key + "\" that is not a number");
        }
        if (number < low || number > high) {
            Refuse(std::string("has \"") + key + "\" outside " + std::to_string(low) + " to " +
                   std::to_string(high));
        }
        return number;
    }

    const json& object_;
    std::string where_;
};

constexpr int64_t kMaxId = std::numeric_limits<uint32_t>::max();

std::string Name(const char* kind, const json& record, std::size_t index) {
    auto id = record.is_object() ? record.find("id") : record.end();
    return std::string(kind) + " " +
           (record.is_object() && id != record.end() ? id->dump()
                                                     : "#" + std::to_string(index + 1));
}

const json& ListOf(const json& edit, const char* key) {
    static const json kEmpty = json::array();
    auto it = edit.find(key);
    if (it == edit.end() || it->is_null()) {
        return kEmpty;
    }
    if (!it->is_array()) {
        throw StoreError(std::string("\"") + key + "\" is not a list");
    }
    return *it;
}

GameRecord GameFrom(const JsonRecord& r) {
    GameRecord g;
    g.id = static_cast<uint32_t>(r.Number("id", 1, kMaxId, 0));
    if (g.id == 0) {
        r.Refuse("has no \"id\"");
    }
    g.title = r.Text("TITLE");
    g.info = r.Text("INFO");
    g.downurl = r.Text("DOWNURL");
    g.exename = r.Text("EXENAME");
    g.png = r.Text("PNG");
    g.site = r.Text("SITE");
    g.showweb = r.Text("SHOWWEB");
    g.time = static_cast<uint32_t>(r.Number("TIME", 0, kMaxId, 0));
    return g;
}

ToolRecord ToolFrom(const JsonRecord& r) {
    ToolRecord t;
    t.id = static_cast<uint32_t>(r.Number("id", 1, kMaxId, 0));
    if (t.id == 0) {
        r.Refuse("has no \"id\"");
    }
    t.gameId = static_cast<uint32_t>(r.Number("GAMEID", 0, kMaxId, 0));
    t.type = static_cast<uint32_t>(r.Number("TYPE", 0, kMaxId, 0));
    t.title = r.Text("TITLE");
    t.version = r.Text("VERSION");
    t.scale = static_cast<int32_t>(r.Number("SCALE", std::numeric_limits<int32_t>::min(),
                                            std::numeric_limits<int32_t>::max(), 0));
    t.info = r.Text("INFO");
    t.url = r.Text("URL");
    t.exename = r.Text("EXENAME");
    t.pngurl = r.Text("PNGURL");
    t.note = r.Text("NOTE");
    t.time = static_cast<uint32_t>(r.Number("TIME", 0, kMaxId, 0));
    return t;
}

}  // namespace

CatalogEdit EditFromJson(const json& edit) {
    if (!edit.is_object()) {
        throw StoreError("a catalog edit is a JSON object");
    }
    JsonRecord top(edit, "the edit", {"games", "tools", "removals", "ranking", "version"});
    CatalogEdit result;
    const json& games = ListOf(edit, "games");
    for (std::size_t i = 0; i < games.size(); ++i) {
        result.games.push_back(GameFrom(JsonRecord(
            games[i], Name("game", games[i], i),
            {"id", "TITLE", "INFO", "DOWNURL", "EXENAME", "PNG", "SITE", "SHOWWEB", "TIME"})));
    }
    const json& tools = ListOf(edit, "tools");
    for (std::size_t i = 0; i < tools.size(); ++i) {
        result.tools.push_back(
            ToolFrom(JsonRecord(tools[i], Name("tool", tools[i], i),
                                {"id", "GAMEID", "TYPE", "TITLE", "VERSION", "SCALE", "INFO", "URL",
                                 "EXENAME", "PNGURL", "NOTE", "TIME"})));
    }
    const json& removals = ListOf(edit, "removals");
    for (std::size_t i = 0; i < removals.size(); ++i) {
        JsonRecord r(removals[i], "removal #" + std::to_string(i + 1), {"games", "tools", "TIME"});
        result.removals.push_back({r.Ids("games"), r.Ids("tools"),
                                   static_cast<uint32_t>(r.Number("TIME", 0, kMaxId, 0))});
    }
    if (auto it = edit.find("ranking"); it != edit.end() && !it->is_null()) {
        JsonRecord r(*it, "the ranking", {"stamp", "games"});
        Ranking ranking;
        ranking.stamp = r.Text("stamp");
        const json& entries = ListOf(*it, "games");
        for (std::size_t i = 0; i < entries.size(); ++i) {
            JsonRecord e(entries[i], "ranking entry #" + std::to_string(i + 1), {"id", "position"});
            ranking.entries.push_back({static_cast<uint32_t>(e.Number("id", 1, kMaxId, 0)),
                                       static_cast<uint32_t>(e.Number("position", 1, 99, 0))});
        }
        result.ranking = std::move(ranking);
    }
    if (auto it = edit.find("version"); it != edit.end() && !it->is_null()) {
        JsonRecord r(*it, "the version", {"version", "sertime", "clientadd"});
        result.version = VersionData{r.Text("version"), r.Text("sertime"), r.Text("clientadd")};
    }
    return result;
}

CatalogEdit EditFromFile(const std::string& path) {
    json edit;
    try {
        if (path == "-") {
            edit = json::parse(std::cin);
        } else {
            std::ifstream in(path, std::ios::binary);
            if (!in) {
                throw StoreError("cannot read " + path);
            }
            edit = json::parse(in);
        }
    } catch (const json::exception& e) {
        throw StoreError(path + " is not JSON: " + e.what());
    }
    try {
        return EditFromJson(edit);
    } catch (const StoreError& e) {
        throw StoreError(path + ": " + e.what());
    }
}

json ToJson(const GameRecord& g) {
    return {{"id", g.id},           {"TITLE", g.title},     {"INFO", g.info},
            {"DOWNURL", g.downurl}, {"EXENAME", g.exename}, {"PNG", g.png},
            {"SITE", g.site},       {"SHOWWEB", g.showweb}, {"TIME", g.time}};
}

json ToJson(const ToolRecord& t) {
    return {{"id", t.id},           {"GAMEID", t.gameId}, {"TYPE", t.type}, {"TITLE", t.title},
            {"VERSION", t.version}, {"SCALE", t.scale},   {"INFO", t.info}, {"URL", t.url},
            {"EXENAME", t.exename}, {"PNGURL", t.pngurl}, {"NOTE", t.note}, {"TIME", t.time}};
}

json ToJson(const RemovalRecord& r) {
    return {{"games", r.games}, {"tools", r.tools}, {"TIME", r.time}};
}

}  // namespace dataserver

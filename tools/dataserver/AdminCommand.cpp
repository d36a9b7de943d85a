#include "AdminCommand.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>

#include "CatalogEdit.h"
#include "CatalogEditJson.h"
#include "RequestHandler.h"
#include "Store.h"
#include "server/Frame.h"

namespace dataserver {

namespace {

// The command line is wrong: nothing was opened or changed.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One command's words: options that each take one value (some may repeat), then the
// positional words.
class CommandLine {
  public:
    CommandLine(const std::string& command, const std::vector<std::string>& words,
                std::set<std::string> single, std::set<std::string> repeated = {})
        : command_(command) {
        for (std::size_t i = 0; i < words.size(); ++i) {
            const std::string& word = words[i];
            if (word.rfind("--", 0) != 0) {
                positional_.push_back(word);
                continue;
            }
            const bool isSingle = single.count(word) != 0;
            if (!isSingle && repeated.count(word) == 0) {
                throw UsageError(command + " has no option " + word);
            }
            if (i + 1 == words.size()) {
                throw UsageError(word + " needs a value");
            }
            std::vector<std::string>& values = options_[word];
            if (isSingle && !values.empty()) {
                throw UsageError(word + " is given twice");
            }
            values.push_back(words[++i]);
        }
    }

    bool Has(const std::string& option) const { return options_.count(option) != 0; }
    std::string Text(const std::string& option) const {
        auto it = options_.find(option);
        return it == options_.end() ? std::string() : it->second.front();
    }
    std::string Required(const std::string& option) const {
        if (!Has(option)) {
            throw UsageError(command_ + " needs " + option);
        }
        return Text(option);
    }
    std::vector<std::string> All(const std::string& option) const {
        auto it = options_.find(option);
        return it == options_.end() ? std::vector<std::string>() : it->second;
    }
    const std::vector<std::string>& Positional() const { return positional_; }
    void NoPositional() const {
        if (!positional_.empty()) {
            throw UsageError(command_ + " takes no word \"" + positional_.front() + "\"");
        }
    }

  private:
    std::string command_;
    std::map<std::string, std::vector<std::string>> options_;
    std::vector<std::string> positional_;
};

int64_t Number(const std::string& what, const std::string& text, int64_t low, int64_t high) {
    std::size_t used = 0;
    int64_t value = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (text.empty() || used != text.size() || value < low || value > high) {
        throw UsageError(what + " wants a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ", not \"" + text + "\"");
    }
    return value;
}

constexpr int64_t kMaxId = std::numeric_limits<uint32_t>::max();

uint32_t Id(const std::string& what, const std::string& text) {
    return static_cast<uint32_t>(Number(what, text, 1, kMaxId));
}

// "ID:POS" words, from the command line or a file.
Ranking RankingFrom(const std::vector<std::string>& words) {
    Ranking ranking;
    for (const std::string& word : words) {
        auto colon = word.find(':');
        if (colon == std::string::npos) {
            throw UsageError("a ranking entry is GAMEID:POSITION, not \"" + word + "\"");
        }
        ranking.entries.push_back(
            {Id("a ranked game", word.substr(0, colon)),
             static_cast<uint32_t>(Number("a ranking position", word.substr(colon + 1), 1, 99))});
    }
    return ranking;
}

// The operator's stamps are always the publication's own.
CatalogEdit Unstamped(CatalogEdit edit) {
    for (auto& game : edit.games) {
        game.time = 0;
    }
    for (auto& tool : edit.tools) {
        tool.time = 0;
    }
    for (auto& removal : edit.removals) {
        removal.time = 0;
    }
    if (edit.ranking) {
        edit.ranking->stamp.clear();
    }
    return edit;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Records one per line inside the seed's shape, so a listing can be edited and published.
void PrintList(std::ostream& out, const char* key, const std::vector<nlohmann::json>& records) {
    out << "{\"" << key << "\": [";
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << (i == 0 ? "\n  " : ",\n  ") << records[i].dump();
    }
    out << (records.empty() ? "]}\n" : "\n]}\n");
}

// The stamp a client stores from one record of a catalog reply: a removal's fourth field,
// a game's or tool's last.
uint32_t RecordStamp(const std::vector<std::string>& fields) {
    if (!fields.empty() && !fields[0].empty() && fields[0][0] == 'R') {
        return fields.size() > 3 ? server::LeadingNumber(fields[3]) : 0;
    }
    return fields.empty() ? 0 : server::LeadingNumber(fields.back());
}

std::vector<std::string> Fields(const std::string& record) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        auto at = record.find(server::kFieldSeparator, start);
        fields.push_back(record.substr(start, at == std::string::npos ? at : at - start));
        if (at == std::string::npos) {
            return fields;
        }
        start = at + 1;
    }
}

struct Context {
    std::string where;
    std::ostream& out;
    std::unique_ptr<Store> store;
    // Opened only once the command line is known to be right.
    Store& Open() {
        if (!store) {
            store = OpenStore(where);
        }
        return *store;
    }
};

void PublishEdit(Context& context, const CatalogEdit& edit) {
    Store& store = context.Open();
    CheckToolGames(store, edit);
    const uint32_t stamp = store.Publish(edit);
    context.out << "published";
    if (stamp != 0) {
        context.out << " with stamp " << stamp;
    }
    context.out << "\n";
}

void PutGame(Context& context, const std::vector<std::string>& words) {
    CommandLine line(
        "put-game", words,
        {"--id", "--title", "--info", "--downurl", "--exename", "--png", "--site", "--showweb"});
    line.NoPositional();
    GameRecord game;
    game.id = Id("--id", line.Required("--id"));
    game.title = line.Required("--title");
    game.info = line.Text("--info");
    game.downurl = line.Text("--downurl");
    game.exename = line.Text("--exename");
    game.png = line.Text("--png");
    game.site = line.Text("--site");
    game.showweb = line.Text("--showweb");
    PublishEdit(context, CatalogEdit{{game}, {}, {}, {}, {}});
}

void PutTool(Context& context, const std::vector<std::string>& words) {
    CommandLine line("put-tool", words,
                     {"--id", "--game", "--type", "--title", "--version", "--scale", "--info",
                      "--url", "--exename", "--pngurl", "--note"});
    line.NoPositional();
    ToolRecord tool;
    tool.id = Id("--id", line.Required("--id"));
    tool.gameId = line.Has("--game")
                      ? static_cast<uint32_t>(Number("--game", line.Text("--game"), 0, kMaxId))
                      : 0;
    tool.type = static_cast<uint32_t>(Number("--type", line.Required("--type"), 187, 192));
    tool.title = line.Required("--title");
    tool.version = line.Text("--version");
    tool.scale = line.Has("--scale")
                     ? static_cast<int32_t>(Number("--scale", line.Text("--scale"),
                                                   std::numeric_limits<int32_t>::min(),
                                                   std::numeric_limits<int32_t>::max()))
                     : 0;
    tool.info = line.Text("--info");
    tool.url = line.Text("--url");
    tool.exename = line.Text("--exename");
    tool.pngurl = line.Text("--pngurl");
    tool.note = line.Text("--note");
    PublishEdit(context, CatalogEdit{{}, {tool}, {}, {}, {}});
}

void PublishFile(Context& context, const std::vector<std::string>& words) {
    CommandLine line("publish", words, {});
    if (line.Positional().size() != 1) {
        throw UsageError("publish needs one FILE (or - for standard input)");
    }
    PublishEdit(context, Unstamped(EditFromFile(line.Positional().front())));
}

void Remove(Context& context, const std::vector<std::string>& words) {
    CommandLine line("remove", words, {}, {"--game", "--tool"});
    line.NoPositional();
    RemovalRecord removal;
    for (const std::string& id : line.All("--game")) {
        removal.games.push_back(Id("--game", id));
    }
    for (const std::string& id : line.All("--tool")) {
        removal.tools.push_back(Id("--tool", id));
    }
    if (removal.games.empty() && removal.tools.empty()) {
        throw UsageError("remove needs at least one --game or --tool");
    }
    PublishEdit(context, CatalogEdit{{}, {}, {removal}, {}, {}});
}

void SetVersion(Context& context, const std::vector<std::string>& words) {
    CommandLine line("set-version", words, {"--version", "--sertime", "--url"});
    line.NoPositional();
    VersionData version;
    version.version = line.Required("--version");
    version.sertime = std::to_string(Number("--sertime", line.Required("--sertime"), 0, kMaxId));
    version.clientadd = line.Required("--url");
    PublishEdit(context, CatalogEdit{{}, {}, {}, {}, version});
}

void SetRanking(Context& context, const std::vector<std::string>& words) {
    CommandLine line("set-ranking", words, {"--file"});
    std::vector<std::string> entries = line.Positional();
    if (line.Has("--file")) {
        if (!entries.empty()) {
            throw UsageError("set-ranking takes its entries from --file or the command line");
        }
        std::ifstream in(line.Text("--file"));
        if (!in) {
            throw UsageError("cannot read " + line.Text("--file"));
        }
        for (std::string word; in >> word;) {
            entries.push_back(word);
        }
    }
    PublishEdit(context, CatalogEdit{{}, {}, {}, RankingFrom(entries), {}});
}

void ListGames(Context& context, const std::vector<std::string>& words) {
    CommandLine line("list-games", words, {"--search"});
    line.NoPositional();
    const std::string search = line.Text("--search");
    std::vector<nlohmann::json> records;
    for (const GameRecord& game : context.Open().Games()) {
        if (Contains(std::to_string(game.id), search) || Contains(game.title, search) ||
            Contains(game.info, search) || Contains(game.exename, search)) {
            records.push_back(ToJson(game));
        }
    }
    PrintList(context.out, "games", records);
}

void ListTools(Context& context, const std::vector<std::string>& words) {
    CommandLine line("list-tools", words, {"--search"});
    line.NoPositional();
    const std::string search = line.Text("--search");
    std::vector<nlohmann::json> records;
    for (const ToolRecord& tool : context.Open().Tools()) {
        if (Contains(std::to_string(tool.id), search) || Contains(tool.title, search) ||
            Contains(tool.info, search) || Contains(tool.exename, search)) {
            records.push_back(ToJson(tool));
        }
    }
    PrintList(context.out, "tools", records);
}

// The replies a client with `--lasttime` receives, one JSON line each, until one is empty.
void Replies(Context& context, const std::vector<std::string>& words) {
    CommandLine line("replies", words, {"--lasttime", "--http-base", "--removal-marker"});
    line.NoPositional();
    uint32_t lasttime =
        static_cast<uint32_t>(Number("--lasttime", line.Required("--lasttime"), 0, kMaxId));
    HandlerOptions options;
    // Without a base address the texts keep the placeholder the operator wrote.
    options.httpBase = line.Has("--http-base") ? line.Text("--http-base") : "{{http}}";
    if (line.Has("--removal-marker")) {
        options.removalMarker = line.Text("--removal-marker");
    }
    RequestHandler handler(context.Open(), options);
    for (;;) {
        const std::vector<std::string> records = handler.CatalogRecords(lasttime);
        nlohmann::json reply{{"lasttime", lasttime}, {"records", nlohmann::json::array()}};
        uint32_t newest = lasttime;
        for (const std::string& record : records) {
            std::vector<std::string> fields = Fields(record);
            newest = std::max(newest, RecordStamp(fields));
            reply["records"].push_back(fields);
        }
        context.out << reply.dump() << "\n";
        // Every record of a reply is above lasttime, so each round moves on; the check only
        // guards against a reply that would repeat itself for ever.
        if (records.empty() || newest == lasttime) {
            return;
        }
        lasttime = newest;
    }
}

using Command = std::function<void(Context&, const std::vector<std::string>&)>;

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands{
        {"put-game", PutGame},     {"put-tool", PutTool},       {"publish", PublishFile},
        {"remove", Remove},        {"set-version", SetVersion}, {"set-ranking", SetRanking},
        {"list-games", ListGames}, {"list-tools", ListTools},   {"replies", Replies}};
    return commands;
}

}  // namespace

void PrintAdminUsage(std::ostream& out) {
    out << "usage: ravik-dataserver admin --db WHERE COMMAND [OPTIONS]\n"
           "WHERE is the server's database. Stamps are assigned automatically, above every\n"
           "earlier one. Commands:\n"
           "  put-game --id N --title TEXT [--info --downurl --exename --png --site\n"
           "           --showweb TEXT]                      add or replace a game\n"
           "  put-tool --id N --type 187..192 --title TEXT [--game N (0: general)\n"
           "           --version --info --url --exename --pngurl --note TEXT --scale N]\n"
           "                                                add or replace a tool\n"
           "  publish FILE|-                                publish a JSON edit (seed shape;\n"
           "                                                its TIME and stamp are ignored)\n"
           "  remove [--game N]... [--tool N]...            remove games and tools\n"
           "  set-version --version TEXT --sertime N --url ADDRESS\n"
           "                                                offer a client release\n"
           "  set-ranking GAMEID:POS... | --file FILE       set the game order\n"
           "  list-games [--search TEXT]                    list games (JSON)\n"
           "  list-tools [--search TEXT]                    list tools (JSON)\n"
           "  replies --lasttime N [--http-base URL] [--removal-marker TEXT]\n"
           "                                                the catalog replies a client\n"
           "                                                with that lasttime receives\n"
           "Exit status: 0 done, 1 refused (nothing changed), 2 bad usage.\n";
}

int RunAdmin(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string where;
    std::size_t next = 0;
    try {
        for (; next < args.size() && args[next].rfind("--", 0) == 0; ++next) {
            if (args[next] == "--help") {
                PrintAdminUsage(out);
                return 0;
            }
            if (args[next] != "--db") {
                throw UsageError("admin has no option " + args[next]);
            }
            if (next + 1 == args.size()) {
                throw UsageError("--db needs a value");
            }
            where = args[++next];
        }
        if (where.empty()) {
            throw UsageError("admin needs --db WHERE before the command");
        }
        if (next == args.size()) {
            throw UsageError("admin needs a command (see --help)");
        }
        auto command = Commands().find(args[next]);
        if (command == Commands().end()) {
            throw UsageError("unknown admin command \"" + args[next] + "\" (see --help)");
        }
        Context context{where, out, nullptr};
        command->second(context, std::vector<std::string>(
                                     args.begin() + static_cast<long>(next) + 1, args.end()));
        return 0;
    } catch (const UsageError& e) {
        err << "ravik-dataserver admin: " << e.what() << "\n";
        return 2;
    } catch (const StoreError& e) {
        err << "ravik-dataserver admin: " << e.what() << "\n";
        return 1;
    }
}

}  // namespace dataserver

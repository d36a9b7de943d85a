#include "server/CatalogReply.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>

#include "catalog/IniFile.h"
#include "platform/Paths.h"
#include "server/Frame.h"

namespace server {

namespace {

constexpr std::size_t kFullRecordFields = 15;
constexpr std::size_t kRemovalRecordFields = 5;
constexpr std::size_t kFirstRecordOffset = 3;
constexpr std::size_t kRankingEntries = 50;
constexpr std::size_t kRankingSlots = 100;
// New and changed games go to the end of the list.
constexpr std::size_t kAppendPosition = 1000;

// A number field as the data server writes it: read like strtod and truncated toward zero.
// Values outside the target range (and text without digits) give 0 rather than a number
// the conversion cannot represent.
double ReadNumber(const std::string& text) {
    double value = std::strtod(text.c_str(), nullptr);
    return std::isfinite(value) ? std::trunc(value) : 0.0;
}

uint32_t ReadUnsigned(const std::string& text) {
    double value = ReadNumber(text);
    if (value < 0 || value > std::numeric_limits<uint32_t>::max()) {
        return 0;
    }
    return static_cast<uint32_t>(value);
}

// An id field: a number (leading blanks allowed, read like the other number fields) and
// above 0 unless `zeroAllowed`. Anything else ("../x", "", "-1") names no record; read as 0 it
// would be stored as game or tool 0, or drop one.
std::optional<uint32_t> ReadId(const std::string& text, bool zeroAllowed = false) {
    std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos || text[first] < '0' || text[first] > '9') {
        return std::nullopt;
    }
    uint32_t id = ReadUnsigned(text);
    if (id == 0 && (!zeroAllowed || ReadNumber(text) != 0)) {
        return std::nullopt;
    }
    return id;
}

int32_t ReadSigned(const std::string& text) {
    double value = ReadNumber(text);
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
        return 0;
    }
    return static_cast<int32_t>(value);
}

// A list of ids in a removal record: nothing when shorter than 5 characters, one id when
// exactly 5 characters long or without a comma, else every piece between commas that
// starts with a digit.
std::vector<uint32_t> RemovalIds(std::string_view text) {
    std::vector<uint32_t> ids;
    if (text.size() < 5) {
        return ids;
    }
    // A piece that does not start with a digit (the empty piece after a trailing comma, or
    // "../x") names no id; read as 0 it would remove a stored record whose id happens to be 0.
    auto take = [&ids](std::string_view piece) {
        if (!piece.empty() && piece[0] >= '0' && piece[0] <= '9' && LeadingNumber(piece) != 0) {
            ids.push_back(LeadingNumber(piece));
        }
    };
    if (text.size() == 5 || text.find(',') == std::string_view::npos) {
        take(text);
        return ids;
    }
    for (const auto& piece : SplitFields(text, ',')) {
        take(piece);
    }
    return ids;
}

// Reads the data fields of a full record; `d` is the record's fields from its first data
// field on. A record whose ids are not numbers is skipped (false).
bool TakeFullRecord(const std::string* d, const CatalogReplyContext& context, SyncChanges& out) {
    if (d[1] == "186") {
        std::optional<uint32_t> id = ReadId(d[2]);
        if (!id) {
            return false;
        }
        catalog::GameRecord game;
        game.id = *id;
        game.title = d[4];
        game.info = d[7];
        game.downUrl = d[8];
        game.exeName = d[9];
        game.png = d[10];
        game.site = d[11];
        game.showWeb = d[12];
        game.time = ReadUnsigned(d[14]);
        if (!game.png.empty() && IsFetchableIconAddress(game.png)) {
            out.icons.push_back({game.png, GameIconFile(context.programDir, game.id)});
        }
        out.changes.emplace_back(PutGameChange{std::move(game), kAppendPosition});
        return true;
    }
    // Game 0 holds the general tools.
    std::optional<uint32_t> gameId = ReadId(d[2], true);
    std::optional<uint32_t> id = ReadId(d[3]);
    if (!gameId || !id) {
        return false;
    }
    catalog::ToolRecord tool;
    tool.type = ReadUnsigned(d[1]);
    tool.gameId = *gameId;
    tool.id = *id;
    tool.title = d[4];
    tool.version = d[5];
    tool.scale = ReadSigned(d[6]);
    tool.info = d[7];
    tool.url = d[8];
    tool.exeName = d[9];
    tool.pngUrl = d[10];
    tool.time = ReadUnsigned(d[14]);
    if (catalog::HasOwnIcon(tool.type) && !tool.pngUrl.empty()) {
        // Named after the id as a number: the loaders look for exactly that name, and a
        // text from the network never becomes part of a path.
        out.icons.push_back({tool.pngUrl, ToolIconFile(context.programDir, tool.id)});
    }
    out.changes.emplace_back(PutToolChange{*gameId, std::move(tool)});
    return true;
}

void TakeRemovalRecord(const std::string* d, const CatalogReplyContext& context, SyncChanges& out) {
    if (!context.removalMarker.empty() && d[0].find(context.removalMarker) != std::string::npos) {
        for (uint32_t id : RemovalIds(d[2])) {
            out.changes.emplace_back(DropToolChange{id});
        }
        for (uint32_t id : RemovalIds(d[1])) {
            out.changes.emplace_back(DropGameChange{id});
        }
    }
    out.changes.emplace_back(RaiseLastTimeChange{LeadingNumber(d[3])});
}

}  // namespace

bool IsFetchableIconAddress(std::string_view address) {
    auto slash = address.rfind('/');
    std::string_view name = slash == std::string_view::npos ? address : address.substr(slash + 1);
    return Utf16Length(name) < 20;
}

std::string GameIconFile(const std::string& programDir, uint32_t gameId) {
    return programDir + "GameIcon" + platform::kSeparator + std::to_string(gameId) + ".png";
}

std::string ToolIconFile(const std::string& programDir, uint32_t toolId) {
    return programDir + "ToolIcon" + platform::kSeparator + std::to_string(toolId) + ".png";
}

int ApplyCatalogReply(std::string_view reply, bool cut, const CatalogReplyContext& context,
                      SyncChanges& out) {
    std::vector<std::string> records = SplitFields(reply, kRecordSeparator);
    if (cut) {
        records.pop_back();
    }
    int count = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::vector<std::string> fields = SplitTextFields(records[i]);
        std::size_t offset = i == 0 ? kFirstRecordOffset : 0;
        if (fields.size() < offset) {
            continue;
        }
        std::size_t dataFields = fields.size() - offset;
        const std::string* data = fields.data() + offset;
        if (fields.size() > 8) {
            if (dataFields < kFullRecordFields) {
                continue;
            }
            if (!TakeFullRecord(data, context, out)) {
                continue;
            }
            out.busy = true;
            out.busyBox = true;
            ++count;
        } else if (dataFields == kRemovalRecordFields) {
            out.busy = true;
            TakeRemovalRecord(data, context, out);
            ++count;
        }
    }
    out.records += count;
    return count;
}

bool ApplyRankingReply(std::string_view reply, SyncChanges& out) {
    std::vector<std::string> fields = SplitTextFields(reply);
    if (fields.size() < 6 || fields[3] != "1") {
        return false;
    }
    std::array<bool, kRankingSlots> taken{};
    RankGamesChange order;
    std::vector<std::string> entries = SplitFields(fields[4], '|');
    if (entries.size() > kRankingEntries) {
        entries.resize(kRankingEntries);
    }
    for (const auto& entry : entries) {
        auto comma = entry.find(',');
        if (comma == std::string::npos) {
            continue;
        }
        uint32_t gameId = LeadingNumber(std::string_view(entry).substr(0, comma));
        uint32_t position = LeadingNumber(std::string_view(entry).substr(comma + 1));
        if (gameId < 1 || position < 1 || position >= kRankingSlots || taken[position]) {
            continue;
        }
        taken[position] = true;
        order.games.push_back({gameId, position});
    }
    out.changes.emplace_back(std::move(order));
    out.changes.emplace_back(SetPxTimeChange{fields[5]});
    out.ranked = true;
    out.busy = true;
    out.busyBox = true;
    return true;
}

}  // namespace server

#include "catalog/Catalog.h"

#include <algorithm>
#include <cstdio>

#include "catalog/FileSystem.h"
#include "platform/Paths.h"

namespace catalog {
namespace {

// Catalog readers keep at most 259 UTF-16 units of a text; a missing text reads "NULL".
constexpr std::size_t kTextLimit = 259;
constexpr std::string_view kMissingText = "NULL";
// Beyond these sizes a new entry goes in at the last place instead of being appended.
constexpr std::size_t kToolListLimit = 1000;
constexpr std::size_t kUsedListLimit = 10000;

constexpr std::string_view kGameIndex = "NETGAME";
constexpr std::string_view kGeneralIndex = "NormalTool";
constexpr std::string_view kToolIndex = "TOOL";

std::string Text(const IniFile& file, IniFile::SectionId section, uint32_t i) {
    return file.GetString(section, i, kMissingText, kTextLimit);
}

// Items 1..n of a catalog file: "SIZE" of its index section, but never past the last
// numbered key, so a damaged "SIZE" cannot make a loader spin through billions of items
// that have no keys.
uint32_t ItemCount(const IniFile& file, std::string_view index) {
    return std::min(file.GetInt(index, "SIZE", 0), file.LargestNumberKey());
}

// Room for the items a file claims, within reason: "SIZE" may be damaged.
std::size_t Expected(uint32_t items) {
    return std::min<std::size_t>(items, 4096);
}

// Keeps the first failure of several writes.
void Keep(Outcome& kept, Outcome next) {
    if (kept.ok() && !next.ok()) {
        kept = std::move(next);
    }
}

ToolRecord FixedEntry(const GameRecord& game, uint32_t which, const char* caption, uint32_t type,
                      const std::string& url, std::string icon) {
    ToolRecord entry;
    entry.id = FixedEntryId(game.id, which);
    entry.title = caption;
    entry.info = caption;
    entry.gameId = game.id;
    entry.type = type;
    entry.url = url;
    entry.gameDir = game.dir;
    entry.icon = std::move(icon);
    return entry;
}

// Program directory + folder + separator + number + suffix, built in one go: the loaders
// make one such path per record.
std::string NumberedPath(const std::string& dir, std::string_view folder, uint32_t number,
                         std::string_view suffix) {
    char digits[16];
    int n = std::snprintf(digits, sizeof digits, "%u", number);
    std::string path;
    path.reserve(dir.size() + folder.size() + 1 + static_cast<std::size_t>(n) + suffix.size());
    path.append(dir).append(folder);
    path.push_back(platform::kSeparator);
    path.append(digits, static_cast<std::size_t>(n));
    for (char c : suffix) {
        path.push_back(c == '/' ? platform::kSeparator : c);
    }
    return path;
}

}  // namespace

Catalog::Catalog(std::string programDir)
    : dir_(std::move(programDir)),
      defaultC_(Path("ToolIcon/defaultC.png")),
      defaultD_(Path("ToolIcon/defaultD.png")),
      defaultE_(Path("ToolIcon/defaultE.png")) {}

std::string Catalog::Path(std::string_view relative) const {
    std::string path;
    path.reserve(dir_.size() + relative.size());
    path.append(dir_);
    for (char c : relative) {
        path.push_back(c == '/' ? platform::kSeparator : c);
    }
    return path;
}

std::string Catalog::GameConfigPath() const {
    return Path("gamecfg.dat");
}
std::string Catalog::GeneralToolsPath() const {
    return Path("Normalcfg.dat");
}
std::string Catalog::UsedPath() const {
    return Path("Usedcfg.dat");
}
std::string Catalog::UserSettingsPath() const {
    return Path("usercfg.dat");
}
std::string Catalog::GameToolsPath(uint32_t gameId) const {
    return NumberedPath(dir_, "GameTool", gameId, ".dat");
}
std::string Catalog::GameIconPath(uint32_t gameId) const {
    return NumberedPath(dir_, "GameIcon", gameId, ".png");
}
std::string Catalog::ToolIconPath(uint32_t toolId) const {
    return NumberedPath(dir_, "ToolIcon", toolId, ".png");
}
std::string Catalog::DefaultIconPath(char letter) const {
    switch (letter) {
        case 'C':
            return defaultC_;
        case 'D':
            return defaultD_;
        case 'E':
            return defaultE_;
    }
    return Path(std::string("ToolIcon/default") + letter + ".png");
}
std::string Catalog::ToolDirectory(uint32_t toolId) const {
    return NumberedPath(dir_, "LocalGameTool", toolId, "/");
}

// ---- files of the running operation or batch

IniFile& Catalog::Open(const std::string& path) {
    FlushPending(path);
    auto it = open_.find(path);
    if (it == open_.end()) {
        it = open_.emplace(path, IniFile::Load(path)).first;
    }
    return it->second;
}

const IniFile& Catalog::Read(const std::string& path, IniFile& scratch) {
    FlushPending(path);
    return ReadCached(path, scratch);
}

const IniFile& Catalog::ReadCached(const std::string& path, IniFile& scratch) const {
    auto it = open_.find(path);
    if (it != open_.end()) {
        return it->second;
    }
    scratch = IniFile::Load(path);
    return scratch;
}

Outcome Catalog::Finish(const std::string& path) {
    if (batchDepth_ > 0) {
        return Outcome::Ok();
    }
    auto it = open_.find(path);
    if (it == open_.end()) {
        return Outcome::Ok();
    }
    Outcome outcome = it->second.Save();
    open_.erase(it);
    return outcome;
}

void Catalog::FlushPending(const std::string& path) {
    if (pendingGames_ && path == GameConfigPath()) {
        pendingGames_ = false;
        WriteGamesNow();
    } else if (pendingUsed_ && path == UsedPath()) {
        pendingUsed_ = false;
        WriteUsedNow();
    } else if (auto it = pendingTools_.find(path); it != pendingTools_.end()) {
        uint32_t gameId = it->second;
        pendingTools_.erase(it);
        WriteToolsNow(gameId);
    }
}

void Catalog::FlushAllPending() {
    while (!pendingTools_.empty()) {
        FlushPending(pendingTools_.begin()->first);
    }
    FlushPending(GameConfigPath());
    FlushPending(UsedPath());
}

Outcome Catalog::SaveOpenFiles() {
    FlushAllPending();
    Outcome outcome;
    const std::string settings = UserSettingsPath();
    for (auto& [path, file] : open_) {
        if (path != settings) {
            Keep(outcome, file.Save());
        }
    }
    auto it = open_.find(settings);
    if (it != open_.end()) {
        if (outcome.ok()) {
            outcome = it->second.Save();
        } else if (it->second.Dirty()) {
            outcome.reason += "; the change stamps were not saved, so the changes come again";
        }
    }
    open_.clear();
    return outcome;
}

Catalog::Batch::Batch(Catalog& catalog) : catalog_(&catalog) {
    ++catalog_->batchDepth_;
}

Catalog::Batch::~Batch() {
    Commit();
}

Outcome Catalog::Batch::Commit() {
    if (committed_) {
        return Outcome::Ok();
    }
    committed_ = true;
    if (catalog_->batchDepth_ > 1) {
        --catalog_->batchDepth_;
        return Outcome::Ok();
    }
    // Still inside the batch while the pending lists are written, so they go to the open
    // documents and everything is saved together below.
    Outcome outcome = catalog_->SaveOpenFiles();
    catalog_->batchDepth_ = 0;
    return outcome;
}

// ---- loaders

// The sections of a tool file, looked up once per file.
struct Catalog::ToolSections {
    explicit ToolSections(const IniFile& f, std::string_view indexName)
        : index(f.FindSection(indexName)),
          type(f.FindSection("TYPE")),
          title(f.FindSection("TITLE")),
          info(f.FindSection("INFO")),
          exename(f.FindSection("EXENAME")),
          url(f.FindSection("URL")),
          version(f.FindSection("VERSION")),
          pngurl(f.FindSection("PNGURL")),
          scale(f.FindSection("SCALE")),
          time(f.FindSection("TIME")),
          installed(f.FindSection("INSTALLED")),
          gamedir(f.FindSection("GAMEDIR")),
          gameid(f.FindSection("GAMEID")) {}
    IniFile::SectionId index, type, title, info, exename, url, version, pngurl, scale, time,
        installed, gamedir, gameid;
};

ToolRecord Catalog::ReadTool(const IniFile& file, const ToolSections& s, uint32_t i) const {
    ToolRecord tool;
    tool.type = file.GetInt(s.type, i, 0);
    if (!IsValidToolType(tool.type)) {
        return tool;
    }
    tool.id = file.GetInt(s.index, i, 0);
    tool.title = Text(file, s.title, i);
    tool.info = Text(file, s.info, i);
    tool.exeName = Text(file, s.exename, i);
    tool.url = Text(file, s.url, i);
    tool.version = Text(file, s.version, i);
    tool.pngUrl = Text(file, s.pngurl, i);
    tool.scale = static_cast<int32_t>(file.GetInt(s.scale, i, 0));
    tool.time = file.GetInt(s.time, i, 0);
    tool.dir = ToolDirectory(tool.id);
    tool.installed = file.GetInt(s.installed, i, 0) != 0 ? 1 : 0;
    if (tool.installed != 0) {
        tool.icon = ToolIconPath(tool.id);
    } else {
        tool.icon = HasOwnIcon(tool.type) ? defaultD_ : defaultC_;
    }
    return tool;
}

std::size_t Catalog::LoadGames() {
    // The lists are about to be replaced from the files: a batch's changes go in first.
    FlushAllPending();
    games_ = GameList();
    waitingGames_ = GameList();
    IniFile scratch;
    const IniFile& file = Read(GameConfigPath(), scratch);
    const uint32_t n = ItemCount(file, kGameIndex);
    const IniFile::SectionId index = file.FindSection(kGameIndex);
    const IniFile::SectionId title = file.FindSection("TITLE");
    const IniFile::SectionId info = file.FindSection("INFO");
    const IniFile::SectionId exename = file.FindSection("EXENAME");
    const IniFile::SectionId downurl = file.FindSection("DOWNURL");
    const IniFile::SectionId showweb = file.FindSection("SHOWWEB");
    const IniFile::SectionId site = file.FindSection("SITE");
    const IniFile::SectionId png = file.FindSection("PNG");
    const IniFile::SectionId time = file.FindSection("TIME");
    games_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        GameRecord game;
        game.id = file.GetInt(index, i, 0);
        game.icon = GameIconPath(game.id);
        const bool listed = FileExists(game.icon);
        if (!listed && game.id == 0) {
            continue;
        }
        game.title = Text(file, title, i);
        game.info = Text(file, info, i);
        game.exeName = Text(file, exename, i);
        game.downUrl = Text(file, downurl, i);
        game.showWeb = Text(file, showweb, i);
        game.site = Text(file, site, i);
        game.png = Text(file, png, i);
        game.time = file.GetInt(time, i, 0);
        if (!listed) {
            waitingGames_.push_back(std::move(game));
            continue;
        }
        LoadGameTools(game.id, game, file);
        games_.push_back(std::move(game));
    }
    return games_.size();
}

std::size_t Catalog::LoadGameTools(uint32_t gameId, GameRecord& game) {
    FlushAllPending();
    IniFile scratch;
    return LoadGameTools(gameId, game, Read(GameConfigPath(), scratch));
}

std::size_t Catalog::LoadGameTools(uint32_t gameId, GameRecord& game, const IniFile& gameConfig) {
    IniFile scratch;
    const IniFile& file = Read(GameToolsPath(gameId), scratch);
    const ToolSections sections(file, kToolIndex);
    const uint32_t n = ItemCount(file, kToolIndex);
    auto tools = std::make_shared<ToolList>();
    ToolList others;  // 187 to 190 follow 191 and 192, each group in file order
    tools->reserve(Expected(n));
    others.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(file, sections, i);
        if (!IsValidToolType(tool.type)) {
            continue;
        }
        tool.gameId = gameId;
        tool.gameDir = game.dir;
        (HasOwnIcon(tool.type) ? *tools : others).push_back(std::move(tool));
    }
    std::move(others.begin(), others.end(), std::back_inserter(*tools));

    const bool programSet =
        !gameConfig.GetString(gameConfig.FindSection("GAMEDIR"), gameId, "", kTextLimit).empty();
    auto display = std::make_shared<ToolList>();
    display->reserve(4 + tools->size());
    display->push_back(FixedEntry(game, kStartEntry, "启动游戏", kTypeOwnIcon, game.showWeb,
                                  programSet ? GameIconPath(gameId) : DefaultIconPath('D')));
    display->push_back(FixedEntry(game, kDownloadEntry, "下载游戏", kTypeBrowser, game.downUrl,
                                  DefaultIconPath('E')));
    display->push_back(
        FixedEntry(game, kSiteEntry, "官方网站", kTypeBrowser, game.site, DefaultIconPath('C')));
    display->push_back(
        FixedEntry(game, kInfoEntry, "资料专区", kTypeBrowser, game.showWeb, DefaultIconPath('C')));
    display->insert(display->end(), tools->begin(), tools->end());

    game.tools = std::move(tools);
    game.display = std::move(display);
    return game.display->size();
}

std::size_t Catalog::LoadGeneralTools() {
    FlushAllPending();
    generalTools_ = ToolList();
    IniFile scratch;
    const IniFile& file = Read(GeneralToolsPath(), scratch);
    const ToolSections sections(file, kGeneralIndex);
    const uint32_t n = ItemCount(file, kGeneralIndex);
    generalTools_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(file, sections, i);
        if (IsValidToolType(tool.type)) {
            generalTools_.push_back(std::move(tool));
        }
    }
    return generalTools_.size();
}

std::size_t Catalog::LoadUsed() {
    FlushAllPending();
    used_ = ToolList();
    IniFile scratch;
    const IniFile& file = Read(UsedPath(), scratch);
    const ToolSections sections(file, kToolIndex);
    const uint32_t n = ItemCount(file, kToolIndex);
    used_.reserve(Expected(n));
    for (uint32_t i = 1; i <= n; ++i) {
        ToolRecord tool = ReadTool(file, sections, i);
        if (!IsValidToolType(tool.type)) {
            continue;
        }
        tool.pngUrl.clear();  // the used list does not keep icon addresses
        tool.gameDir = Text(file, sections.gamedir, i);
        tool.gameId = file.GetInt(sections.gameid, i, 0);
        if (IsStartEntry(tool.id)) {
            tool.icon = GameIconPath(tool.gameId);
            if (const GameRecord* game = FindGame(games_, tool.gameId)) {
                tool.title = game->title;
            }
        }
        used_.push_back(std::move(tool));
    }
    return used_.size();
}

void Catalog::LoadAll() {
    LoadGames();
    LoadUsed();
    LoadGeneralTools();
}

// ---- writers

Outcome Catalog::WriteGames() {
    if (batchDepth_ > 0) {
        pendingGames_ = true;
        return Outcome::Ok();
    }
    return WriteGamesNow();
}

Outcome Catalog::WriteGamesNow() {
    const std::string path = GameConfigPath();
    IniFile& file = Open(path);
    // The listed games in their order, then the games still waiting for their icon (unless
    // the list has taken them in since).
    std::vector<const GameRecord*> written;
    written.reserve(games_.size() + waitingGames_.size());
    for (const GameRecord& g : games_) {
        written.push_back(&g);
    }
    for (const GameRecord& g : waitingGames_) {
        if (FindGame(games_, g.id) == nullptr) {
            written.push_back(&g);
        }
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        const GameRecord& g = *written[i];
        const std::string key = std::to_string(i + 1);
        file.Set(kGameIndex, key, std::to_string(g.id));
        file.Set("TITLE", key, g.title);
        file.Set("INFO", key, g.info);
        file.Set("EXENAME", key, g.exeName);
        file.Set("DOWNURL", key, g.downUrl);
        file.Set("SHOWWEB", key, g.showWeb);
        file.Set("SITE", key, g.site);
        file.Set("TIME", key, std::to_string(g.time));
        file.Set("DIR", key, g.dir);
        file.Set("PNG", key, g.png);
    }
    file.Set(kGameIndex, "SIZE", std::to_string(written.size()));
    return Finish(path);
}

Outcome Catalog::WriteTools(uint32_t gameId) {
    if (gameId != 0 && FindGame(games_, gameId) == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (batchDepth_ > 0) {
        pendingTools_[gameId != 0 ? GameToolsPath(gameId) : GeneralToolsPath()] = gameId;
        return Outcome::Ok();
    }
    return WriteToolsNow(gameId);
}

Outcome Catalog::WriteToolsNow(uint32_t gameId) {
    const ToolList* list = &generalTools_;
    if (gameId != 0) {
        const GameRecord* game = FindGame(games_, gameId);
        if (game == nullptr) {
            return Outcome::Missing("no game " + std::to_string(gameId));
        }
        static const ToolList kNoTools;
        list = game->tools ? game->tools.get() : &kNoTools;
    }
    const std::string path = gameId != 0 ? GameToolsPath(gameId) : GeneralToolsPath();
    const std::string_view index = gameId != 0 ? kToolIndex : kGeneralIndex;
    IniFile& file = Open(path);
    for (std::size_t i = 0; i < list->size(); ++i) {
        const ToolRecord& t = (*list)[i];
        const std::string key = std::to_string(i + 1);
        file.Set("INFO", key, t.info);
        file.Set("TITLE", key, t.title);
        file.Set("EXENAME", key, t.exeName);
        file.Set("TYPE", key, std::to_string(t.type));
        file.Set("TIME", key, std::to_string(t.time));
        file.Set("URL", key, t.url);
        file.Set("VERSION", key, t.version);
        file.Set("SCALE", key, std::to_string(t.scale));
        file.Set("DIR", key, t.dir);
        file.Set("PNGURL", key, t.pngUrl);
        file.Set(index, key, std::to_string(t.id));
        if (gameId != 0) {
            file.Set("GAMEDIR", key, t.gameDir);
        }
        file.Set("INSTALLED", key, t.installed != 0 ? "1" : "0");
    }
    file.Set(index, "SIZE", std::to_string(list->size()));
    return Finish(path);
}

Outcome Catalog::WriteUsed() {
    if (batchDepth_ > 0) {
        pendingUsed_ = true;
        return Outcome::Ok();
    }
    return WriteUsedNow();
}

Outcome Catalog::WriteUsedNow() {
    const std::string path = UsedPath();
    IniFile& file = Open(path);
    for (std::size_t i = 0; i < used_.size(); ++i) {
        const ToolRecord& t = used_[i];
        const std::string key = std::to_string(i + 1);
        file.Set("TITLE", key, t.title);
        file.Set(kToolIndex, key, std::to_string(t.id));
        file.Set("INFO", key, t.info);
        file.Set("EXENAME", key, t.exeName);
        file.Set("TYPE", key, std::to_string(t.type));
        file.Set("TIME", key, std::to_string(t.time));
        file.Set("URL", key, t.url);
        file.Set("VERSION", key, t.version);
        file.Set("GAMEDIR", key, t.gameDir);
        file.Set("SCALE", key, std::to_string(t.scale));
        file.Set("DIR", key, t.dir);
        file.Set("GAMEID", key, std::to_string(t.gameId));
        file.Set("INSTALLED", key, t.installed != 0 ? "1" : "0");
    }
    file.Set(kToolIndex, "SIZE", std::to_string(used_.size()));
    return Finish(path);
}

// ---- changes from the synchronisation

Outcome Catalog::RaiseLastTime(uint32_t stamp) {
    const std::string path = UserSettingsPath();
    IniFile& file = Open(path);
    if (file.GetInt("ravikver", "lasttime", 0) < stamp) {
        file.Set("ravikver", "lasttime", std::to_string(stamp));
    }
    return Finish(path);
}

Outcome Catalog::WriteThenRaise(Outcome written, uint32_t stamp) {
    // The catalog file first, the stamp only once the file holds the change: a change that
    // could not be saved is fetched again by the next synchronisation.
    return written.ok() ? RaiseLastTime(stamp) : written;
}

Outcome Catalog::PutGame(const GameRecord& game, std::size_t position) {
    if (GameRecord* existing = FindGame(games_, game.id)) {
        // The stored game takes the new texts but keeps its tools, in lists of its own so
        // copies of the old record held elsewhere are not changed under their holders.
        auto tools = existing->tools ? std::make_shared<ToolList>(*existing->tools) : nullptr;
        auto display = existing->display ? std::make_shared<ToolList>(*existing->display) : nullptr;
        *existing = game;
        existing->tools = std::move(tools);
        existing->display = std::move(display);
    } else if (!games_.empty() && position <= games_.size()) {
        auto at = games_.begin() + static_cast<std::ptrdiff_t>(position == 0 ? 0 : position - 1);
        games_.insert(at, game);
    } else {
        games_.push_back(game);
    }
    return WriteThenRaise(WriteGames(), game.time);
}

Outcome Catalog::DropGame(uint32_t gameId) {
    auto waiting = std::find_if(waitingGames_.begin(), waitingGames_.end(),
                                [gameId](const GameRecord& g) { return g.id == gameId; });
    if (waiting != waitingGames_.end()) {
        waitingGames_.erase(waiting);
        if (FindGame(games_, gameId) == nullptr) {
            return WriteGames();
        }
    }
    if (games_.empty()) {
        return Outcome::Ok();
    }
    auto it = std::find_if(games_.begin(), games_.end(),
                           [gameId](const GameRecord& g) { return g.id == gameId; });
    if (it == games_.end()) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    // A batch still owes this game's tool file its changes; they go in before the game does.
    FlushPending(GameToolsPath(gameId));
    games_.erase(it);
    // Written also when the last game went, so the removal lasts.
    return WriteGames();
}

ToolList* Catalog::TargetList(uint32_t gameId) {
    if (gameId == 0) {
        return &generalTools_;
    }
    GameRecord* game = FindGame(games_, gameId);
    if (game == nullptr) {
        return nullptr;
    }
    if (!game->tools) {
        game->tools = std::make_shared<ToolList>();
    }
    return game->tools.get();
}

Outcome Catalog::PutTool(uint32_t gameId, const ToolRecord& tool) {
    ToolList* list = TargetList(gameId);
    if (list == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (auto found = FindTool(*list, tool.id)) {
        *found.record = tool;
    } else if (list->size() >= kToolListLimit) {
        list->insert(list->begin() + (kToolListLimit - 1), tool);
    } else {
        list->push_back(tool);
    }
    return WriteThenRaise(WriteTools(gameId), tool.time);
}

Outcome Catalog::DropTool(uint32_t gameId, uint32_t toolId) {
    ToolList* list = TargetList(gameId);
    if (list == nullptr) {
        return Outcome::Missing("no game " + std::to_string(gameId));
    }
    if (list->empty()) {
        return Outcome::Ok();
    }
    auto found = FindTool(*list, toolId);
    if (!found) {
        return Outcome::Missing("no tool " + std::to_string(toolId));
    }
    list->erase(list->begin() + static_cast<std::ptrdiff_t>(found.position - 1));
    // Written also when the last tool went, so the removal lasts.
    return WriteTools(gameId);
}

// ---- the used list

Outcome Catalog::AddUsed(const ToolRecord& tool) {
    if (used_.size() >= kUsedListLimit) {
        used_.insert(used_.begin() + (kUsedListLimit - 1), tool);
    } else {
        used_.push_back(tool);
    }
    Open(UsedPath()).Set(kToolIndex, "TIME", std::to_string(tool.time));
    return WriteUsed();
}

Outcome Catalog::DropUsed(uint32_t toolId) {
    if (used_.empty()) {
        return Outcome::Ok();
    }
    auto found = FindTool(used_, toolId);
    if (!found) {
        return Outcome::Missing("no used entry " + std::to_string(toolId));
    }
    used_.erase(used_.begin() + static_cast<std::ptrdiff_t>(found.position - 1));
    return WriteUsed();
}

Outcome Catalog::ClearUsed() {
    used_.clear();
    Outcome outcome = WriteUsed();
    LoadUsed();
    return outcome;
}

// ---- item commands

Outcome Catalog::WriteInstalledKey(const std::string& path, std::string_view index, uint32_t toolId,
                                   bool installed) {
    // Addressed by the tool's id in the file rather than by its place in the list: the two
    // differ when the loader dropped a damaged item, and then the place would mark another
    // tool.
    IniFile& file = Open(path);
    const uint32_t n = ItemCount(file, index);
    const IniFile::SectionId ids = file.FindSection(index);
    for (uint32_t i = 1; i <= n; ++i) {
        if (file.HasKey(ids, i) && file.GetInt(ids, i, 0) == toolId) {
            file.Set("INSTALLED", std::to_string(i), installed ? "1" : "0");
            break;
        }
    }
    return Finish(path);
}

void Catalog::UpdateUsedEntry(const ToolRecord& record, ItemChange& change) {
    auto used = FindTool(used_, record.id);
    if (!used) {
        return;
    }
    *used.record = record;
    change.usedPosition = used.position;
    Keep(change.outcome,
         WriteInstalledKey(UsedPath(), kToolIndex, record.id, record.installed != 0));
}

ItemChange Catalog::MarkInstalled(const ToolRecord& tool) {
    ItemChange change;
    ToolRecord* entry = nullptr;
    if (tool.gameId != 0) {
        GameRecord* game = FindGame(games_, tool.gameId);
        auto found = game != nullptr && game->display ? FindTool(*game->display, tool.id)
                                                      : FoundTool<ToolRecord>{};
        if (!found) {
            change.outcome = Outcome::Missing("no entry " + std::to_string(tool.id));
            return change;
        }
        entry = found.record;
        entry->icon = ToolIconPath(tool.id);
        entry->installed = 1;
        if (auto inTools =
                game->tools ? FindTool(*game->tools, tool.id) : FoundTool<ToolRecord>{}) {
            *inTools.record = *entry;
        }
        change.outcome = WriteTools(tool.gameId);
    } else {
        auto found = FindTool(generalTools_, tool.id);
        if (!found) {
            change.outcome = Outcome::Missing("no tool " + std::to_string(tool.id));
            return change;
        }
        entry = found.record;
        entry->icon = ToolIconPath(tool.id);
        entry->installed = 1;
        change.outcome = WriteInstalledKey(GeneralToolsPath(), kGeneralIndex, tool.id, true);
    }
    change.record = *entry;
    UpdateUsedEntry(change.record, change);
    return change;
}

ItemChange Catalog::DeleteItem(ViewKind view, uint32_t toolId, uint32_t currentGame) {
    ItemChange change;
    if (view == ViewKind::My) {
        if (auto found = FindTool(used_, toolId)) {
            change.record = *found.record;
        }
        change.outcome = DropUsed(toolId);
        LoadUsed();
        change.usedReloaded = true;
        return change;
    }

    ToolRecord* entry = nullptr;
    if (view == ViewKind::OnlineGames) {
        GameRecord* game = FindGame(games_, currentGame);
        auto found = game != nullptr && game->display ? FindTool(*game->display, toolId)
                                                      : FoundTool<ToolRecord>{};
        if (!found) {
            change.outcome = Outcome::Missing("no entry " + std::to_string(toolId));
            return change;
        }
        entry = found.record;
        entry->icon = DefaultIconPath('D');
        entry->installed = 0;
        if (auto inTools = game->tools ? FindTool(*game->tools, toolId) : FoundTool<ToolRecord>{}) {
            *inTools.record = *entry;
        }
        change.outcome = WriteTools(currentGame);
        if (IsStartEntry(toolId)) {
            // Uninstalling the start entry forgets the game's program path.
            Keep(change.outcome, SetGameDirectory(currentGame, ""));
        }
    } else {
        auto found = FindTool(generalTools_, toolId);
        if (!found) {
            change.outcome = Outcome::Missing("no tool " + std::to_string(toolId));
            return change;
        }
        entry = found.record;
        entry->icon = DefaultIconPath('D');
        entry->installed = 0;
        change.outcome = WriteInstalledKey(GeneralToolsPath(), kGeneralIndex, toolId, false);
    }
    change.record = *entry;
    UpdateUsedEntry(change.record, change);
    EmptyDirectory(ToolDirectory(toolId));
    return change;
}

ItemChange Catalog::GameDirectorySet(ViewKind view, uint32_t toolId, uint32_t currentGame) {
    ItemChange change;
    GameRecord* game = view == ViewKind::OnlineGames ? FindGame(games_, currentGame) : nullptr;
    auto found = game != nullptr && game->display ? FindTool(*game->display, toolId)
                                                  : FoundTool<ToolRecord>{};
    if (!found) {
        change.outcome = Outcome::Missing("no entry " + std::to_string(toolId));
        return change;
    }
    found.record->icon = GameIconPath(currentGame);
    found.record->installed = 0;
    change.record = *found.record;
    // The program path is already in gamecfg.dat; the next load derives the same icon.
    if (auto used = FindTool(used_, toolId)) {
        *used.record = change.record;
        change.usedPosition = used.position;
    }
    return change;
}

Outcome Catalog::SetGameDirectory(uint32_t gameId, std::string_view programPath) {
    const std::string path = GameConfigPath();
    Open(path).Set("GAMEDIR", std::to_string(gameId), programPath);
    return Finish(path);
}

// The list writers never touch "GAMEDIR", so a batch's pending writes need not go first.
std::string Catalog::GameDirectoryForRun(uint32_t gameId) const {
    IniFile scratch;
    return ReadCached(GameConfigPath(), scratch)
        .GetString("GAMEDIR", std::to_string(gameId), "", 399);
}

std::string Catalog::GameDirectoryForOpen(uint32_t gameId) const {
    IniFile scratch;
    return ReadCached(GameConfigPath(), scratch)
        .GetString("GAMEDIR", std::to_string(gameId), kMissingText, kTextLimit);
}

}  // namespace catalog

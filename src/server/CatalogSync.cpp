#include "server/CatalogSync.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>

#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"
#include "install/HttpDownload.h"
#include "server/CatalogReply.h"

namespace server {

namespace {

// Icons are small; a server that stops sending one is given up on quickly.
constexpr std::chrono::seconds kIconConnectTimeout{10};
constexpr std::chrono::seconds kIconStallTimeout{15};
constexpr int kIconRetries = 1;

bool IsSet(const std::atomic<bool>* flag) {
    return flag != nullptr && flag->load();
}

}  // namespace

int FetchIcons(const std::vector<IconFetch>& icons, const std::atomic<bool>* cancel) {
    int fetched = 0;
    for (const IconFetch& icon : icons) {
        if (IsSet(cancel)) {
            break;
        }
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::u8path(icon.path).parent_path(), ec);
        install::HttpDownload download(icon.url, icon.path);
        download.SetReplaceWhenComplete(true);
        download.SetConnectTimeout(kIconConnectTimeout);
        download.SetStallTimeout(kIconStallTimeout);
        download.SetRetries(kIconRetries);
        download.SetCancelFlag(cancel);
        if (download.Run().Ok()) {
            ++fetched;
        }
    }
    return fetched;
}

std::vector<IconFetch> MissingGameIcons(const std::string& programDir) {
    std::vector<IconFetch> icons;
    catalog::IniFile games = catalog::IniFile::Load(programDir + "gamecfg.dat");
    // Never past the last numbered key, so a damaged SIZE cannot make this spin.
    uint32_t count = std::min(games.GetInt("NETGAME", "SIZE", 0), games.LargestNumberKey());
    for (uint32_t i = 1; i <= count; ++i) {
        std::string key = std::to_string(i);
        uint32_t id = games.GetInt("NETGAME", key, 0);
        std::string address = games.GetString("PNG", key, "", 259);
        if (id == 0 || address.empty() || !IsFetchableIconAddress(address)) {
            continue;
        }
        std::string path = GameIconFile(programDir, id);
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::u8path(path), ec)) {
            icons.push_back({address, path});
        }
    }
    return icons;
}

SyncRun SyncCatalogs(ServerClient& client, const std::string& programDir, const BusyFn& busy,
                     const std::atomic<bool>* cancel) {
    SyncRun run;
    catalog::UserSettings settings(programDir);
    CatalogReplyContext context{programDir, client.Config().removalMarker};

    Connection connection = client.Connect();
    if (connection.Connected()) {
        Reply reply = connection.Request(Message::CatalogQuery, {settings.LastTimeText()});
        ApplyCatalogReply(reply.text, reply.cut, context, run.changes);
        if (run.changes.busy && busy) {
            busy(run.changes.busyBox);
        }
        // Icons of games already stored that never arrived come along; a record in this
        // reply that names the same file wins, being the newer address.
        std::set<std::string> targets;
        for (const IconFetch& icon : run.changes.icons) {
            targets.insert(icon.path);
        }
        std::vector<IconFetch> icons = run.changes.icons;
        for (IconFetch& missing : MissingGameIcons(programDir)) {
            if (targets.insert(missing.path).second) {
                icons.push_back(std::move(missing));
            }
        }
        run.iconsFetched = FetchIcons(icons, cancel);
    }
    if (IsSet(cancel)) {
        run.cancelled = true;
        return run;
    }

    Reply ranking = client.Exchange(Message::RankingQuery, {settings.PxTime()});
    bool wasBusy = run.changes.busyBox;
    if (ranking.Answered() && ApplyRankingReply(ranking.text, run.changes) && !wasBusy && busy) {
        busy(true);
    }
    run.cancelled = IsSet(cancel);
    return run;
}

}  // namespace server

#include "server/CatalogSync.h"

#include <chrono>
#include <filesystem>
#include <set>

#include "catalog/GameFields.h"
#include "catalog/IniFile.h"
#include "catalog/RecordReader.h"
#include "catalog/UserSettings.h"
#include "install/HttpDownload.h"
#include "server/CatalogReply.h"

namespace server {

namespace {

bool IsSet(const std::atomic<bool>* flag) {
    return flag != nullptr && flag->load();
}

}  // namespace

int FetchIcons(const std::vector<IconFetch>& icons, const std::atomic<bool>* cancel,
               const IconLimits& limits) {
    int fetched = 0;
    for (const IconFetch& icon : icons) {
        if (IsSet(cancel)) {
            break;
        }
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::u8path(icon.path).parent_path(), ec);
        install::HttpDownload download(icon.url, icon.path);
        download.SetReplaceWhenComplete(true);
        download.SetConnectTimeout(limits.connect);
        download.SetStallTimeout(limits.stall);
        download.SetLowSpeedLimit(limits.lowSpeedBytes, limits.lowSpeedTime);
        download.SetTimeLimit(limits.total);
        download.SetRetries(limits.retries);
        download.SetCancelFlag(cancel);
        if (download.Run().Ok()) {
            ++fetched;
        }
    }
    return fetched;
}

std::vector<IconFetch> MissingGameIcons(const std::string& programDir) {
    std::vector<IconFetch> icons;
    const catalog::IniFile file = catalog::IniFile::Load(programDir + "gamecfg.dat");
    const catalog::RecordReader<catalog::GameRecord> games(file, catalog::kGamesFile);
    for (uint32_t i = 1; i <= games.Count(); ++i) {
        // A game without an icon address has no icon to fetch, so the address is only taken
        // when the key is there; the loaders' missing text would read as one.
        if (!games.Stored(i, catalog::GameField::Png)) {
            continue;
        }
        catalog::GameRecord game;
        games.Read(i, catalog::GameField::Id, game);
        games.Read(i, catalog::GameField::Png, game);
        if (game.id == 0 || game.png.empty() || !IsFetchableIconAddress(game.png)) {
            continue;
        }
        std::string path = GameIconFile(programDir, game.id);
        std::error_code ec;
        if (!std::filesystem::exists(std::filesystem::u8path(path), ec)) {
            icons.push_back({game.png, path});
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
        run.answered = reply.Answered();
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

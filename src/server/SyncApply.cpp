#include "server/SyncApply.h"

#include <algorithm>
#include <optional>
#include <string>

#include "catalog/UserSettings.h"

namespace server {

namespace {

// Applies one change; remembers the first write failure.
class ChangeApplier {
  public:
    explicit ChangeApplier(catalog::Catalog& catalog) : catalog_(catalog) {}

    void operator()(const PutGameChange& change) {
        Note(catalog_.PutGame(change.game, change.position));
    }
    void operator()(const DropGameChange& change) { Note(catalog_.DropGame(change.gameId)); }
    void operator()(const PutToolChange& change) {
        Note(catalog_.PutTool(change.gameId, change.tool));
    }
    void operator()(const DropToolChange& change) {
        catalog::Outcome outcome = catalog_.DropTool(0, change.toolId);
        if (outcome.code == catalog::Outcome::NotFound) {
            if (catalog::GameRecord* game =
                    catalog::FindGameOfTool(catalog_.Games(), change.toolId)) {
                outcome = catalog_.DropTool(game->id, change.toolId);
            }
        }
        Note(outcome);
    }
    void operator()(const RaiseLastTimeChange& change) {
        Note(catalog_.RaiseLastTime(change.stamp));
    }
    void operator()(const RankGamesChange& change) {
        // Take every ranked game out first, in the order of the ranking, then put them back
        // by ascending position, so each lands where the server placed it.
        struct Taken {
            catalog::GameRecord game;
            std::size_t position;
        };
        std::vector<Taken> taken;
        for (const RankedGame& ranked : change.games) {
            const catalog::GameRecord* game = catalog::FindGame(catalog_.Games(), ranked.gameId);
            if (game == nullptr) {
                continue;
            }
            taken.push_back({*game, ranked.position});
            Note(catalog_.DropGame(ranked.gameId));
        }
        std::stable_sort(taken.begin(), taken.end(),
                         [](const Taken& a, const Taken& b) { return a.position < b.position; });
        for (const Taken& entry : taken) {
            Note(catalog_.PutGame(entry.game, entry.position));
        }
    }
    void operator()(const SetPxTimeChange& change) { pxTime_ = change.stamp; }

    const catalog::Outcome& Failure() const { return failure_; }
    const std::optional<std::string>& PxTime() const { return pxTime_; }

  private:
    void Note(const catalog::Outcome& outcome) {
        if (outcome.code == catalog::Outcome::WriteFailed && failure_.ok()) {
            failure_ = outcome;
        }
    }

    catalog::Catalog& catalog_;
    catalog::Outcome failure_;
    std::optional<std::string> pxTime_;
};

}  // namespace

catalog::Outcome ApplySyncChanges(catalog::Catalog& catalog, const SyncChanges& changes) {
    // The files are the truth: apply to what they hold now. Since the lists were last loaded
    // the worker may have fetched icons that make more games loadable.
    catalog.LoadAll();
    ChangeApplier applier(catalog);
    catalog::Outcome committed;
    {
        catalog::Catalog::Batch batch(catalog);
        for (const CatalogChange& change : changes.changes) {
            std::visit(applier, change);
        }
        committed = batch.Commit();
    }
    catalog::Outcome result = !applier.Failure().ok() ? applier.Failure() : committed;
    if (result.ok() && applier.PxTime()) {
        result = catalog::UserSettings(catalog.ProgramDir()).SetPxTime(*applier.PxTime());
    }
    catalog.LoadAll();
    return result;
}

}  // namespace server

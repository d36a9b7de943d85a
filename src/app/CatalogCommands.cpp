#include "app/CatalogCommands.h"

#include "app/MainWindow.h"
#include "grid/GridView.h"
#include "install/ToolInstall.h"
#include "job/Log.h"

namespace app {
namespace {

// A file that could not be saved keeps its old contents while the lists in memory show the
// change; the log says so, and the tiles follow the lists as before. A missing item is no
// failure here: the command had nothing to do.
void LogWriteFailure(const catalog::ItemChange& change) {
    if (change.outcome.code == catalog::Outcome::WriteFailed) {
        job::Log::Failure("saving a catalog change", change.outcome.ToResult());
    }
}

// The entry the delete command of a view other than My would uninstall, or nullptr.
const catalog::ToolRecord* EntryToUninstall(catalog::Catalog& catalog, catalog::ViewKind kind,
                                            uint32_t itemId, uint32_t currentGame) {
    const catalog::ToolList* list = &catalog.GeneralTools();
    if (kind == catalog::ViewKind::OnlineGames) {
        const catalog::GameRecord* game = catalog::FindGame(catalog.Games(), currentGame);
        list = game != nullptr ? game->display.get() : nullptr;
    }
    if (list == nullptr) {
        return nullptr;
    }
    return catalog::FindTool(*list, itemId).record;
}

}  // namespace

CatalogCommands::CatalogCommands(MainWindow& window, catalog::Catalog& catalog)
    : QObject(&window), window_(window), catalog_(catalog) {}

void CatalogCommands::ShowChange(const catalog::ItemChange& change, catalog::ViewKind otherView) {
    LogWriteFailure(change);
    if (change.outcome.code == catalog::Outcome::NotFound) {
        return;
    }
    if (grid::GridView* view = window_.View(otherView)) {
        view->UpdateToolTile(change.record);
    }
    if (grid::GridView* my = window_.View(catalog::ViewKind::My)) {
        my->UpdateToolTile(change.record);
    }
}

std::string CatalogCommands::UninstallQuestion(const std::string& title) {
    return "确定要删除“" + title + "”吗？删除后需要重新下载。";
}

void CatalogCommands::AfterYes(const std::string& question, std::function<void()> action) {
    QMetaObject::invokeMethod(
        this,
        [this, question, action = std::move(action)] {
            if (prompt_.ConfirmRemoval(question)) {
                action();
            }
        },
        Qt::QueuedConnection);
}

void CatalogCommands::DeleteItem(uint32_t itemId, grid::GridView* view) {
    if (view == nullptr) {
        return;
    }
    const catalog::ViewKind kind = view->Kind();
    const grid::GridView* online = window_.View(catalog::ViewKind::OnlineGames);
    const uint32_t currentGame = online != nullptr ? online->EnteredGameId() : 0;
    const catalog::ToolRecord* tool = kind == catalog::ViewKind::My
                                          ? nullptr
                                          : EntryToUninstall(catalog_, kind, itemId, currentGame);
    if (tool == nullptr || tool->installed == 0) {
        Delete(kind, itemId, currentGame);
        return;
    }
    AfterYes(UninstallQuestion(tool->title),
             [this, kind, itemId, currentGame] { Delete(kind, itemId, currentGame); });
}

void CatalogCommands::Delete(catalog::ViewKind kind, uint32_t itemId, uint32_t currentGame) {
    const catalog::ItemChange change = catalog_.DeleteItem(kind, itemId, currentGame);
    if (change.usedReloaded) {
        LogWriteFailure(change);
        window_.RebuildMyView();
        return;
    }
    if (change.outcome.code != catalog::Outcome::NotFound) {
        // A later download of the tool starts from nothing, not from a leftover.
        install::RemoveToolArchive(catalog_.ProgramDir(), itemId);
    }
    ShowChange(change, kind);
}

void CatalogCommands::GameDirectorySet(uint32_t itemId, grid::GridView* view) {
    if (view == nullptr || view->Kind() != catalog::ViewKind::OnlineGames) {
        return;
    }
    const catalog::ItemChange change =
        catalog_.GameDirectorySet(view->Kind(), itemId, view->EnteredGameId());
    ShowChange(change, catalog::ViewKind::OnlineGames);
}

void CatalogCommands::DeleteAllUsed() {
    if (catalog_.Used().empty()) {
        ClearUsed();
        return;
    }
    AfterYes(kDeleteAllQuestion, [this] { ClearUsed(); });
}

void CatalogCommands::ClearUsed() {
    job::Log::Failure("clearing the used list", catalog_.ClearUsed().ToResult());
    window_.RebuildMyView();
}

void CatalogCommands::ToolInstalled(const catalog::ToolRecord& tool) {
    const catalog::ItemChange change = catalog_.MarkInstalled(tool);
    ShowChange(change,
               tool.gameId != 0 ? catalog::ViewKind::OnlineGames : catalog::ViewKind::GeneralTools);
}

}  // namespace app

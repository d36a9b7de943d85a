#include "app/RunHandler.h"

#include "app/CatalogCommands.h"
#include "app/JobRunner.h"
#include "app/MainWindow.h"
#include "app/ToolDownload.h"
#include "grid/ExecutablePicker.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "install/ToolInstall.h"
#include "job/Log.h"
#include "platform/Shell.h"
#include "server/ReportJob.h"
#include "ui/DownloadDialog.h"
#include "ui/WebAddress.h"
#include "ui/WebPages.h"

namespace app {
namespace {

// The My list treats the fixed entries of games from this id up apart: their download entry
// is a link and is not listed, their start entry is listed under the game's title. Smaller
// games' entries are listed as they are.
constexpr uint32_t kLargeGameId = 10000;

bool StartWithPlatform(const std::string& program, const std::string& workingDir, bool hidden) {
    return platform::StartProgram(program, {}, workingDir, hidden);
}

}  // namespace

RunHandler::RunHandler(MainWindow& window, ui::WebBoxRegister& reg)
    : QObject(&window), window_(window), register_(reg) {
    SetProgramStarter({});
    SetReportSender({});
}

void RunHandler::SetProgramStarter(ProgramStarter starter) {
    starter_ = starter ? std::move(starter) : ProgramStarter(StartWithPlatform);
}

void RunHandler::SetReportSender(ReportSender sender) {
    if (sender) {
        reporter_ = std::move(sender);
        return;
    }
    // The report job owns copies of the configuration and the record, so it may outlive
    // the tile and the window; the runner logs a failure.
    reporter_ = [this](const catalog::ToolRecord& tool) {
        window_.Jobs().Start(server::ReportJob::RunReport(window_.Options().server, tool),
                             "the run report of " + std::to_string(tool.id));
    };
}

void RunHandler::Run(grid::ItemTile* tile) {
    if (tile == nullptr || !tile->IsTool()) {
        return;
    }
    // The record is copied first: starting a game may rebuild tiles, and a dialog may run
    // its own event loop, while the tile is gone.
    const catalog::ToolRecord tool = tile->ToolRecord();
    job::Log::Write(job::Log::Level::Info,
                    "running " + std::to_string(tool.id) + " (" + tool.title + ")");
    reporter_(tool);
    const RunResult result = Dispatch(tool, tile);
    if (result.started && window_.Settings().AutoMin()) {
        window_.Minimise();
    }
    if (result.addToMyList) {
        AddToMyList(tool);
    }
}

RunHandler::RunResult RunHandler::Dispatch(const catalog::ToolRecord& tool,
                                           QPointer<grid::ItemTile> tile) {
    switch (catalog::RoleOf(tool.id, tool.type)) {
        case catalog::ItemRole::SmallWebPage:
            return OpenWebBox(tool, false);
        case catalog::ItemRole::LargeWebPage:
            return OpenWebBox(tool, true);
        case catalog::ItemRole::BrowserPage:
            return OpenInBrowser(tool);
        case catalog::ItemRole::StartGame:
            return StartGame(tool, tile);
        case catalog::ItemRole::Program:
            break;
    }
    return StartTool(tool);
}

RunHandler::RunResult RunHandler::OpenWebBox(const catalog::ToolRecord& tool, bool large) {
    // A second run while the item's box is open opens nothing new (ui::OpenItemPage).
    const QString caption = ui::ItemCaption(window_.Catalog().Games(), tool);
    const QString productUrl = QString::fromStdString(window_.Options().launcher.productUrl);
    const bool opened =
        ui::OpenItemPage(tool, large ? ui::WebPageSize::Large : ui::WebPageSize::Small, caption,
                         productUrl, register_);
    return {true, opened};
}

RunHandler::RunResult RunHandler::OpenInBrowser(const catalog::ToolRecord& tool) {
    // Only web addresses go to the browser: a catalog entry must not start a local program.
    const QString address = ui::CatalogWebAddress(QString::fromStdString(tool.url));
    if (!address.isEmpty() && !platform::OpenUrl(address.toStdString())) {
        job::Log::Write(job::Log::Level::Warning,
                        "cannot open " + address.toStdString() + " in the browser");
    }
    return {};
}

RunHandler::RunResult RunHandler::StartGame(const catalog::ToolRecord& tool,
                                            QPointer<grid::ItemTile> tile) {
    catalog::Catalog& catalog = window_.Catalog();
    std::string program = catalog.GameDirectoryForRun(tool.gameId);
    if (!program.empty()) {
        // A program stored earlier counts as started whatever happens; a failure is only
        // logged.
        StartProgram(program, true);
        return {true, true};
    }
    // The user is asked for the game's program; the tile stores it and tells the window.
    if (tile.isNull() || !tile->ChooseGameDirectory()) {
        return {false, false};
    }
    program = catalog.GameDirectoryForRun(tool.gameId);
    if (program.empty()) {
        return {false, false};
    }
    if (!StartProgram(program, true)) {
        prompt_.Tell(kCannotStartGame);
        return {false, false};
    }
    return {true, true};
}

RunHandler::RunResult RunHandler::StartTool(const catalog::ToolRecord& tool) {
    if (tool.installed != 0) {
        StartProgram(
            install::ToolProgramPath(window_.Catalog().ProgramDir(), tool.id, tool.exeName), false);
        return {true, true};
    }
    if (tool.url.empty()) {
        return {};
    }
    ui::DownloadDialog* dialog =
        DownloadTool(window_.Jobs(), window_.Catalog().ProgramDir(), tool, &window_);
    connect(dialog, &ui::DownloadDialog::toolInstalled, &window_.Commands(),
            &CatalogCommands::ToolInstalled);
    return {true, true};
}

bool RunHandler::StartProgram(const std::string& program, bool hidden) {
    const bool started = starter_(program, grid::ProgramFolder(program), hidden);
    // The file name only: the folder above it may carry the user's name.
    const std::string name = program.substr(program.find_last_of("/\\") + 1);
    job::Log::Write(started ? job::Log::Level::Info : job::Log::Level::Warning,
                    (started ? "started " : "cannot start ") + name);
    return started;
}

void RunHandler::AddToMyList(const catalog::ToolRecord& tool) {
    // A big game's download entry is a link, not something the user has "used".
    if (catalog::FixedEntryOf(tool.id) == catalog::FixedEntryKind::Download &&
        catalog::GameOfFixedEntry(tool.id) >= kLargeGameId) {
        return;
    }
    catalog::Catalog& catalog = window_.Catalog();
    if (catalog::FindTool(catalog.Used(), tool.id)) {
        return;
    }
    // The catalog's record is the full one; the tile's copy stands in when the catalog no
    // longer has the item (it changed while the item was being run).
    catalog::ToolRecord entry = tool;
    if (auto found = catalog::FindTool(catalog.GeneralTools(), tool.id)) {
        entry = *found.record;
    } else if (const grid::GridView* online = window_.View(catalog::ViewKind::OnlineGames)) {
        const catalog::GameRecord* game =
            catalog::FindGame(catalog.Games(), online->EnteredGameId());
        if (game != nullptr && game->display) {
            if (auto shown = catalog::FindTool(*game->display, tool.id)) {
                entry = *shown.record;
            }
        }
    }
    if (catalog::IsStartEntry(entry.id) && catalog::GameOfFixedEntry(entry.id) >= kLargeGameId) {
        if (const catalog::GameRecord* game = catalog::FindGame(catalog.Games(), entry.gameId)) {
            entry.title = game->title;
        }
    }
    job::Log::Failure("adding " + std::to_string(entry.id) + " to the used list",
                      catalog.AddUsed(entry).ToResult());
    window_.RebuildMyView();
}

}  // namespace app

#pragma once

#include <QObject>
#include <QPointer>
#include <cstdint>
#include <functional>
#include <string>

#include "app/UiPrompt.h"
#include "catalog/ToolRecord.h"

namespace grid {
class ItemTile;
}

namespace ui {
class WebBoxRegister;
}

namespace app {

class MainWindow;

// What running a tile means, decided from its record: the run is reported to the data server
// as a job on the window's runner, then the item opens in a web page box (TYPE 188 small, 190
// large; the default browser in a build without web boxes, see ui/WebPages.h) or the default
// browser (189, and a game's download, site and information entries), a game starts from
// the program the user chose for it, an installed tool starts from its local directory, or
// a tool not installed yet is downloaded and installed. With `automin` "1" the main window
// is minimised after something was started in a window of ours or a program. Finally the
// item joins the My list when it is not there yet.
//
// Game tiles are never run. Everything here runs on the UI thread.
class RunHandler : public QObject {
    Q_OBJECT
  public:
    // Starts `program` with `workingDir` as its working directory; false when it could not
    // be started.
    using ProgramStarter =
        std::function<bool(const std::string& program, const std::string& workingDir, bool hidden)>;
    // Sends the run report of `tool` without keeping the caller waiting.
    using ReportSender = std::function<void(const catalog::ToolRecord& tool)>;

    // `reg` records which items have a web page box open.
    RunHandler(MainWindow& window, ui::WebBoxRegister& reg);

    void Run(grid::ItemTile* tile);

    // Replace how programs are started and reports are sent (tests); an empty function
    // restores the default.
    void SetProgramStarter(ProgramStarter starter);
    void SetReportSender(ReportSender sender);

    // The box of the start entry whose freshly chosen program would not start.
    static constexpr const char* kCannotStartGame = "程序无法运行，请检查目录设置是否正确!";

  private:
    // What a dispatch did: whether the item then goes on the My list, and whether something
    // was started that makes the window minimise under `automin`.
    struct RunResult {
        bool addToMyList = true;
        bool started = false;
    };

    RunResult Dispatch(const catalog::ToolRecord& tool, QPointer<grid::ItemTile> tile);
    RunResult OpenWebBox(const catalog::ToolRecord& tool, bool large);
    RunResult OpenInBrowser(const catalog::ToolRecord& tool);
    RunResult StartGame(const catalog::ToolRecord& tool, QPointer<grid::ItemTile> tile);
    RunResult StartTool(const catalog::ToolRecord& tool);
    bool StartProgram(const std::string& program, bool hidden);
    void AddToMyList(const catalog::ToolRecord& tool);

    MainWindow& window_;
    ui::WebBoxRegister& register_;
    ProgramStarter starter_;
    ReportSender reporter_;
    UiPrompt prompt_;
};

}  // namespace app

#pragma once

#include <QString>
#include <array>
#include <memory>
#include <optional>

#include "app/DeskOptions.h"
#include "app/WindowKeys.h"
#include "catalog/Catalog.h"
#include "catalog/UserSettings.h"
#include "grid/GridContext.h"
#include "ui/SkinnedWindow.h"

class QLabel;

namespace grid {
class ItemTile;
class GridView;
enum class PageCommand;
}  // namespace grid

namespace ui {
class PngButton;
}

// The signals carry tiles: their meta-type needs the complete class wherever moc's output is
// compiled.
Q_MOC_INCLUDE("grid/ItemTile.h")

namespace app {

class BusyIndicator;
class CatalogCommands;
class JobRunner;
class MainMenu;
class PageBar;
class RunHandler;
class SearchBar;
class ServerLink;
class TrayHandler;

// The launcher's main window, "Ravik游戏桌面": a borderless 310 x 528 skinned window with
// three tabs (我的Ravik, 网络游戏, 通用工具), one paged grid per tab, a list label, the
// manage/back and one-key delete buttons, the paging row and the title-bar buttons. Its
// start-up (Start) loads the catalogs, builds the grids and starts the server worker.
//
// It keeps the tabs and their grids consistent and delegates the rest: the settings menu and
// pages (MainMenu), the tray (TrayHandler), the data server (ServerLink), the busy state
// (BusyIndicator), the catalog commands of the tiles (CatalogCommands) and running an item
// (RunHandler). The tiles' requests and the settings menu entry are also signals, connected
// at construction to the handler, the settings window, the description box and the
// feedback form.
class MainWindow : public ui::SkinnedWindow {
    Q_OBJECT
  public:
    static constexpr QSize kSize{310, 528};
    static constexpr const char* kTitle = "Ravik游戏桌面";

    // The window's buttons.
    enum Control {
        MinimiseButton,
        CloseButton,
        MyTabButton,
        OnlineTabButton,
        ToolsTabButton,
        ManageOrBackButton,
        SettingsButton,
        ForumButton,
        DeleteAllButton,
        HelpButton,
    };

    explicit MainWindow(DeskOptions options, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The start-up, in this order: autostart applied from the settings, a running updater
    // ended, the catalogs loaded and the three grids built, the first tab chosen (My when
    // the used list has entries), the upgrade report once after an update, the start-up
    // worker and its 20-second timer. Call once, before the window is first shown.
    void Start();

    // Tabs and the manage/back button.
    void ShowMyTab();
    void ShowOnlineTab();
    void ShowToolsTab();
    void ManageOrBack();
    // The button of the tab on show; none before the first one is chosen.
    std::optional<Control> SelectedTab() const;
    void HighlightPageDot(unsigned page);
    // Paging of the view on show, as the paging row does it.
    void PageDotClicked(int number);
    void PageCommandClicked(grid::PageCommand command);

    // Reloads every catalog and builds the three grids anew on the online-games tab, page 1;
    // ends the busy state of a synchronisation.
    void RebuildViews();
    // Rebuilds the My grid from the used list, from its page 1.
    void RebuildMyView();
    // Each grid's message for when its list is empty, after the catalogs' state.
    void ShowEmptyTexts();

    // Title-bar commands.
    void Minimise();
    // The close button: hides to the tray when the `exit` setting is "1", else ends.
    void CloseByExitSetting();
    // Ends the program (tray icon removed, window closed).
    void EndProgram();

    grid::GridView* View(catalog::ViewKind kind) const;
    // The view of the selected tab, or nullptr with none selected.
    grid::GridView* ViewOnShow() const;
    QLabel* ListLabel() const { return label_; }
    SearchBar& Search() const { return *search_; }
    ui::PngButton* Button(Control id) const;
    PageBar& Pages() const { return *pages_; }
    TrayHandler& Tray() const { return *tray_; }
    BusyIndicator& Busy() const { return *busy_; }
    ServerLink& Server() const { return *server_; }
    MainMenu& Menu() const { return *menu_; }
    CatalogCommands& Commands() const { return *commands_; }
    RunHandler& Runner() const { return *runner_; }
    JobRunner& Jobs() const { return *jobs_; }
    catalog::Catalog& Catalog() { return catalog_; }
    catalog::UserSettings& Settings() { return settings_; }
    const DeskOptions& Options() const { return options_; }

  signals:
    // A tile asks to be run ("运行", a double click on a tool).
    void runRequested(grid::ItemTile* tile);
    // A tile's "应用反馈".
    void feedbackRequested(grid::ItemTile* tile);
    // A tile's "应用说明": the description page at `url`.
    void describeRequested(grid::ItemTile* tile, const QString& url);
    // "个人设置" in the settings menu.
    void settingsRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Tab goes round the window's controls in its own order (WindowKeys).
    bool focusNextPrevChild(bool next) override;
    void closeEvent(QCloseEvent* event) override;
    // Escape (and any other cancel): out of a game's entries, else as the close button.
    void reject() override;

  private:
    void CreateControls();
    ui::PngButton* AddButton(int png, const QRect& rect, const QString& tip, const QString& name);
    void ApplyAutostart();
    void ShowUpgradeReport();
    void BuildViews();
    // Puts one tile per record into a view of tools, in list order, instead of its tiles.
    void FillToolView(grid::GridView& view, const catalog::ToolList& tools);
    grid::GridView* NewView(catalog::ViewKind kind);
    void DropViews();
    void SelectTab(Control tab);
    void SetManageImage(bool back);
    void SetLabel(const QString& text);
    void ConnectServer();
    void ConnectRequests();

    DeskOptions options_;
    catalog::Catalog catalog_;
    catalog::UserSettings settings_;
    grid::GridContext context_;

    std::array<ui::PngButton*, 10> buttons_{};
    QLabel* label_ = nullptr;
    SearchBar* search_ = nullptr;  // over the label while a search is on
    PageBar* pages_ = nullptr;
    grid::GridView* online_ = nullptr;
    grid::GridView* my_ = nullptr;
    grid::GridView* tools_ = nullptr;
    std::optional<Control> selectedTab_;
    WindowKeys keys_{*this};

    TrayHandler* tray_ = nullptr;
    BusyIndicator* busy_ = nullptr;
    MainMenu* menu_ = nullptr;
    CatalogCommands* commands_ = nullptr;
    RunHandler* runner_ = nullptr;
    std::unique_ptr<JobRunner> ownJobs_;  // only when the options bring no runner
    JobRunner* jobs_ = nullptr;
    std::unique_ptr<ServerLink> server_;
};

}  // namespace app

#include "app/MainWindow.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

#include "app/BusyIndicator.h"
#include "app/CatalogCommands.h"
#include "app/JobRunner.h"
#include "app/MainMenu.h"
#include "app/PageBar.h"
#include "app/RunHandler.h"
#include "app/SearchBar.h"
#include "app/ServerLink.h"
#include "app/TrayHandler.h"
#include "catalog/AutostartSetting.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "job/Log.h"
#include "platform/Processes.h"
#include "server/VersionCheck.h"
#include "ui/FeedbackForm.h"
#include "ui/PngButton.h"
#include "ui/SettingsDialog.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/UpgradeReport.h"
#include "ui/WebPages.h"
#include "ui/WindowPlacement.h"

namespace app {
namespace {

const QRect kLabelRect(30, 78, 120, 16);
const QColor kLabelText(255, 255, 255);
const QColor kLabelBackground(8, 27, 43);
const QPoint kListMarkerPosition(12, 78);
const QRect kManageRect(250, 76, 50, 20);

const QString kMyTitle = QStringLiteral("我的Ravik");

// What an empty grid says. The My list is the user's own and never comes from the server.
QString EmptyText(catalog::ViewKind kind, CatalogState state) {
    if (kind == catalog::ViewKind::My) {
        return QStringLiteral("您运行过的游戏和工具会显示在这里");
    }
    switch (state) {
        case CatalogState::Connecting:
            return QStringLiteral("正在连接数据服务器…");
        case CatalogState::Fetching:
            return QStringLiteral("正在获取列表…");
        case CatalogState::Retrying:
            return QStringLiteral("无法连接数据服务器，稍后自动重试");
        case CatalogState::Unavailable:
            return QStringLiteral("暂时无法获取列表，请稍后重新启动");
        case CatalogState::Current:
            break;
    }
    return kind == catalog::ViewKind::OnlineGames ? QStringLiteral("暂无网络游戏")
                                                  : QStringLiteral("暂无通用工具");
}
const QString kOnlineTitle = QStringLiteral("网络游戏");
const QString kToolsTitle = QStringLiteral("通用工具");

const QString kManageName = QStringLiteral("管理");
const QString kBackName = QStringLiteral("返回");

struct ButtonSpec {
    MainWindow::Control id;
    ui::Png image;
    QRect rect;
    const char* tip;
    const char* name;  // for assistive technology, where no tooltip says it
};

// Every button of the window with its image strip and its place.
const std::array<ButtonSpec, 10> kButtons{{
    {MainWindow::MinimiseButton, ui::Png::MinimiseButton, QRect(265, 9, 20, 20), "最小化", nullptr},
    {MainWindow::CloseButton, ui::Png::CloseButton, QRect(285, 9, 20, 20), "关闭", nullptr},
    {MainWindow::SettingsButton, ui::Png::SettingsButton, QRect(237, 9, 20, 20), "主菜单", nullptr},
    {MainWindow::HelpButton, ui::Png::HelpButton, QRect(210, 9, 20, 20), "使用教程", nullptr},
    {MainWindow::MyTabButton, ui::Png::MyTab, QRect(2, 32, 110, 41), nullptr, "我的Ravik"},
    {MainWindow::OnlineTabButton, ui::Png::OnlineTab, QRect(104, 32, 110, 41), nullptr, "网络游戏"},
    {MainWindow::ToolsTabButton, ui::Png::ToolsTab, QRect(206, 32, 110, 41), nullptr, "通用工具"},
    {MainWindow::ManageOrBackButton, ui::Png::ManageButton, kManageRect, nullptr, "管理"},
    {MainWindow::DeleteAllButton, ui::Png::DeleteAllButton, QRect(172, 76, 70, 20), nullptr,
     "一键删除"},
    {MainWindow::ForumButton, ui::Png::ForumButton, QRect(230, 504, 72, 20), nullptr, "玩家论坛"},
}};

QString TextOf(const char* text) {
    return text != nullptr ? QString::fromUtf8(text) : QString();
}

}  // namespace

MainWindow::MainWindow(DeskOptions options, QWidget* parent)
    : ui::SkinnedWindow(ui::LoadPngResource(ui::Png::MainBackground),
                        ui::SkinnedWindow::Draggable | ui::SkinnedWindow::CutCorners, parent),
      options_(std::move(options)),
      catalog_(options_.programDir),
      settings_(options_.programDir) {
    context_.catalog = &catalog_;
    context_.downloadUrl = QString::fromStdString(options_.launcher.downloadUrl);

    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowIcon(ui::AppIcon());
    // Registered first, so that the main window itself opens in the middle of the screen.
    ui::WindowPlacement::SetMainWindow(this);
    ui::WindowPlacement::SizeAndPlace(this, kSize);
    CreateControls();

    if (options_.jobs == nullptr) {
        ownJobs_ = std::make_unique<JobRunner>();
    }
    jobs_ = options_.jobs != nullptr ? options_.jobs : ownJobs_.get();
    tray_ = new TrayHandler(this);
    busy_ = new BusyIndicator(this, QString::fromStdString(options_.programDir));
    menu_ = new MainMenu(this, options_.launcher, settings_);
    commands_ = new CatalogCommands(*this, catalog_);
    runner_ = new RunHandler(*this, ui::WebBoxRegister::Process());
    server_ = std::make_unique<ServerLink>(options_.server, options_.programDir,
                                           options_.updateRoute, catalog_, *jobs_);
    ConnectServer();
    ConnectRequests();

    connect(tray_, &TrayHandler::aboutRequested, menu_, &MainMenu::ShowAbout);
    connect(tray_, &TrayHandler::exitRequested, this, &MainWindow::EndProgram);
    connect(menu_, &MainMenu::exitRequested, this, &MainWindow::EndProgram);
    connect(menu_, &MainMenu::settingsRequested, this, &MainWindow::settingsRequested);
    connect(menu_, &MainMenu::checkUpdateRequested, server_.get(), &ServerLink::CheckForUpdates);
}

MainWindow::~MainWindow() {
    // Jobs report to this window: its own are cancelled before anything of it goes away.
    server_.reset();
    ownJobs_.reset();
}

ui::PngButton* MainWindow::AddButton(int png, const QRect& rect, const QString& tip,
                                     const QString& name) {
    auto* button = new ui::PngButton(this);
    button->SetImage(ui::LoadPngResource(static_cast<ui::Png>(png)));
    // The strip sizes the button to one frame; the window's layout then gives it its place.
    button->setGeometry(rect);
    if (!tip.isEmpty()) {
        button->setToolTip(tip);
    }
    button->setAccessibleName(name);
    return button;
}

void MainWindow::CreateControls() {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        const ButtonSpec& def = kButtons[i];
        buttons_[i] =
            AddButton(static_cast<int>(def.image), def.rect, TextOf(def.tip), TextOf(def.name));
    }
    for (Control tab : {MyTabButton, OnlineTabButton, ToolsTabButton}) {
        Button(tab)->SetSelectable(true);
        Button(tab)->SetAccessibleRole(QAccessible::PageTab);
    }
    Button(ManageOrBackButton)->hide();
    Button(DeleteAllButton)->hide();

    label_ = new QLabel(kMyTitle, this);
    label_->setGeometry(kLabelRect);
    label_->setFont(ui::UiFont(12));
    label_->setAutoFillBackground(true);
    QPalette palette = label_->palette();
    palette.setColor(QPalette::WindowText, kLabelText);
    palette.setColor(QPalette::Window, kLabelBackground);
    label_->setPalette(palette);
    search_ = new SearchBar(this, kLabelRect, [this] { return ViewOnShow(); });

    pages_ = new PageBar(this);
    HighlightPageDot(1);

    connect(Button(MinimiseButton), &ui::PngButton::clicked, this, &MainWindow::Minimise);
    connect(Button(CloseButton), &ui::PngButton::clicked, this, &MainWindow::CloseByExitSetting);
    connect(Button(SettingsButton), &ui::PngButton::clicked, this,
            [this] { menu_->Popup(Button(SettingsButton)); });
    connect(Button(HelpButton), &ui::PngButton::clicked, this, [this] { menu_->OpenHelp(); });
    connect(Button(ForumButton), &ui::PngButton::clicked, this, [this] { menu_->OpenForum(); });
    connect(Button(MyTabButton), &ui::PngButton::clicked, this, &MainWindow::ShowMyTab);
    connect(Button(OnlineTabButton), &ui::PngButton::clicked, this, &MainWindow::ShowOnlineTab);
    connect(Button(ToolsTabButton), &ui::PngButton::clicked, this, &MainWindow::ShowToolsTab);
    connect(Button(ManageOrBackButton), &ui::PngButton::clicked, this, &MainWindow::ManageOrBack);
    connect(Button(DeleteAllButton), &ui::PngButton::clicked, this,
            [this] { commands_->DeleteAllUsed(); });
    connect(pages_, &PageBar::dotClicked, this, &MainWindow::PageDotClicked);
    connect(pages_, &PageBar::commandClicked, this, &MainWindow::PageCommandClicked);
}

void MainWindow::ConnectServer() {
    connect(server_.get(), &ServerLink::syncBusy, busy_, &BusyIndicator::Begin);
    connect(server_.get(), &ServerLink::syncUnchanged, busy_, &BusyIndicator::End);
    connect(server_.get(), &ServerLink::syncApplied, this, &MainWindow::RebuildViews);
    connect(server_.get(), &ServerLink::updateFetchProgress, busy_,
            &BusyIndicator::ShowUpdateFetch);
    connect(server_.get(), &ServerLink::updateFetchEnded, busy_, &BusyIndicator::EndUpdateFetch);
    connect(server_.get(), &ServerLink::updaterStarted, this, &MainWindow::EndProgram);
    connect(server_.get(), &ServerLink::catalogStateChanged, this, &MainWindow::ShowEmptyTexts);
    connect(server_.get(), &ServerLink::updateCheckStarted, busy_,
            [this] { busy_->SetWaiting(true); });
    connect(server_.get(), &ServerLink::updateCheckFinished, busy_,
            [this] { busy_->SetWaiting(false); });
}

void MainWindow::ConnectRequests() {
    connect(this, &MainWindow::runRequested, runner_, &RunHandler::Run);
    connect(this, &MainWindow::settingsRequested, this, [this] {
        // Any number may be open; each deletes itself when closed.
        (new ui::SettingsDialog(settings_, this))->show();
    });
    connect(this, &MainWindow::describeRequested, this, [this](grid::ItemTile* tile) {
        ui::OpenIntroductionPage(tile->Title(), tile->ItemId(),
                                 QString::fromStdString(options_.launcher.productUrl),
                                 context_.downloadUrl);
    });
    connect(this, &MainWindow::feedbackRequested, this, [this](grid::ItemTile* tile) {
        // The form is modal: the tile may go while it is open, so it works on a copy.
        const catalog::ToolRecord tool = tile->ToolRecord();
        ui::FeedbackForm::AskAndSend(tool, options_.server, jobs_->Starter(), this);
    });
}

ui::PngButton* MainWindow::Button(Control id) const {
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (kButtons[i].id == id) {
            return buttons_[i];
        }
    }
    return nullptr;
}

// ---- start-up

void MainWindow::Start() {
    ApplyAutostart();
    // An updater left running from an earlier update would fight the files of this run.
    platform::TerminateProcesses(options_.programDir + server::kUpdaterName);
    catalog_.LoadAll();
    BuildViews();
    if (!catalog_.Used().empty()) {
        ShowMyTab();
    } else {
        ShowOnlineTab();
    }
    ShowUpgradeReport();
    // The window itself holds the focus until the keyboard moves it: otherwise its first
    // activation would give it to the first button, which would then show its focus look.
    setFocus(Qt::OtherFocusReason);
    if (options_.startServerWorker) {
        server_->StartWorker();
        server_->StartTimer();
    }
}

void MainWindow::ApplyAutostart() {
    catalog::ApplyAutostart(settings_, settings_.Autostart());
}

void MainWindow::ShowUpgradeReport() {
    if (settings_.Old() != 1) {
        return;
    }
    const std::string oldVersion = settings_.OldVersion();
    const std::string version = settings_.Version();
    // The marker is consumed first, so the report shows once even if this run dies.
    job::Log::Failure("clearing the upgrade marker", settings_.ClearOld().ToResult());
    if (oldVersion == version) {
        return;
    }
    ui::UpgradeReport report(ui::UpgradeReport::UpgradeMessage(QString::fromStdString(oldVersion),
                                                               QString::fromStdString(version)));
    report.exec();
}

grid::GridView* MainWindow::NewView(catalog::ViewKind kind) {
    auto* view = new grid::GridView(kind, context_, this);
    view->setAccessibleName(kind == catalog::ViewKind::My            ? kMyTitle
                            : kind == catalog::ViewKind::OnlineGames ? kOnlineTitle
                                                                     : kToolsTitle);
    connect(view, &grid::GridView::gameEntered, this, [this] {
        SetManageImage(true);
        Button(ManageOrBackButton)->show();
        HighlightPageDot(online_->CurrentPage());
    });
    connect(view, &grid::GridView::titleChanged, this, [this](catalog::ViewKind of) {
        if (grid::GridView* source = View(of)) {
            SetLabel(source->CurrentTitle());
        }
    });
    // The page dots follow a page the keyboard showed and a search's results.
    for (auto signal : {&grid::GridView::searchChanged, &grid::GridView::pageChanged}) {
        connect(view, signal, this, [this, view] {
            if (view == ViewOnShow()) {
                HighlightPageDot(view->CurrentPage());
            }
        });
    }
    connect(view, &grid::GridView::runRequested, this, &MainWindow::runRequested);
    connect(view, &grid::GridView::feedbackRequested, this, &MainWindow::feedbackRequested);
    connect(view, &grid::GridView::describeRequested, this, &MainWindow::describeRequested);
    connect(view, &grid::GridView::deleteRequested, commands_, &CatalogCommands::DeleteItem);
    connect(view, &grid::GridView::gameDirectorySet, commands_, &CatalogCommands::GameDirectorySet);
    return view;
}

void MainWindow::BuildViews() {
    online_ = NewView(catalog::ViewKind::OnlineGames);
    for (const catalog::GameRecord& game : catalog_.Games()) {
        online_->AddGameTile(game);
    }
    online_->SetGames(&catalog_.Games());
    my_ = NewView(catalog::ViewKind::My);
    FillToolView(*my_, catalog_.Used());
    tools_ = NewView(catalog::ViewKind::GeneralTools);
    FillToolView(*tools_, catalog_.GeneralTools());
    for (grid::GridView* view : {online_, my_, tools_}) {
        view->LayOutTiles();
        view->ShowFirstPage();
        view->setVisible(view == online_);
    }
    ShowEmptyTexts();
}

void MainWindow::ShowEmptyTexts() {
    for (grid::GridView* view : {online_, my_, tools_}) {
        if (view != nullptr) {
            view->SetEmptyText(EmptyText(view->Kind(), server_->State()));
        }
    }
}

void MainWindow::FillToolView(grid::GridView& view, const catalog::ToolList& tools) {
    view.DestroyToolTiles();
    for (const catalog::ToolRecord& tool : tools) {
        view.AddToolTile(tool);
    }
}

void MainWindow::DropViews() {
    for (grid::GridView** view : {&online_, &my_, &tools_}) {
        if (*view == nullptr) {
            continue;
        }
        (*view)->DestroyToolTiles();
        (*view)->DestroyGameTiles();
        (*view)->hide();
        (*view)->disconnect(this);
        (*view)->deleteLater();
        *view = nullptr;
    }
}

void MainWindow::RebuildViews() {
    DropViews();
    catalog_.LoadAll();
    BuildViews();
    // The new My view is not in manage mode, so its one-key delete button goes too.
    Button(DeleteAllButton)->hide();
    selectedTab_.reset();
    ShowOnlineTab();
    busy_->End();
}

void MainWindow::RebuildMyView() {
    if (my_ == nullptr) {
        return;
    }
    FillToolView(*my_, catalog_.Used());
    my_->LayOutTiles();
    my_->ShowFirstPage();
    if (selectedTab_ == MyTabButton) {
        HighlightPageDot(my_->CurrentPage());
    }
}

// ---- tabs

grid::GridView* MainWindow::View(catalog::ViewKind kind) const {
    switch (kind) {
        case catalog::ViewKind::OnlineGames:
            return online_;
        case catalog::ViewKind::My:
            return my_;
        case catalog::ViewKind::GeneralTools:
            return tools_;
    }
    return nullptr;
}

grid::GridView* MainWindow::ViewOnShow() const {
    if (!selectedTab_) {
        return nullptr;
    }
    switch (*selectedTab_) {
        case OnlineTabButton:
            return online_;
        case MyTabButton:
            return my_;
        case ToolsTabButton:
            return tools_;
        default:
            return nullptr;
    }
}

std::optional<MainWindow::Control> MainWindow::SelectedTab() const {
    return selectedTab_;
}

void MainWindow::SelectTab(Control tab) {
    selectedTab_ = tab;
    for (Control each : {MyTabButton, OnlineTabButton, ToolsTabButton}) {
        Button(each)->SetSelected(each == tab);
    }
}

void MainWindow::SetManageImage(bool back) {
    ui::PngButton* button = Button(ManageOrBackButton);
    button->SetImage(ui::LoadPngResource(back ? ui::Png::BackButton : ui::Png::ManageButton));
    button->setGeometry(kManageRect);
    button->setAccessibleName(back ? kBackName : kManageName);
}

void MainWindow::SetLabel(const QString& text) {
    label_->setText(text);
}

void MainWindow::HighlightPageDot(unsigned page) {
    pages_->HighlightPageDot(page);
}

void MainWindow::ShowMyTab() {
    SetManageImage(false);
    Button(ManageOrBackButton)->show();
    online_->hide();
    tools_->hide();
    my_->show();
    SelectTab(MyTabButton);
    HighlightPageDot(my_->CurrentPage());
    SetLabel(kMyTitle);
}

void MainWindow::ShowOnlineTab() {
    if (selectedTab_ == MyTabButton && my_->ManageMode()) {
        ManageOrBack();
    }
    if (online_->AtGameLevel()) {
        Button(ManageOrBackButton)->hide();
    } else {
        SetManageImage(true);
        Button(ManageOrBackButton)->show();
    }
    my_->hide();
    tools_->hide();
    online_->show();
    SelectTab(OnlineTabButton);
    HighlightPageDot(online_->CurrentPage());
    SetLabel(online_->AtGameLevel() ? kOnlineTitle : online_->CurrentTitle());
}

void MainWindow::ShowToolsTab() {
    if (selectedTab_ == MyTabButton && my_->ManageMode()) {
        ManageOrBack();
    }
    Button(ManageOrBackButton)->hide();
    my_->hide();
    online_->hide();
    tools_->show();
    SelectTab(ToolsTabButton);
    HighlightPageDot(tools_->CurrentPage());
    SetLabel(kToolsTitle);
}

void MainWindow::ManageOrBack() {
    if (selectedTab_ == OnlineTabButton) {
        Button(ManageOrBackButton)->hide();
        online_->LeaveGame();
        SetLabel(kOnlineTitle);
        HighlightPageDot(online_->CurrentPage());
        return;
    }
    if (selectedTab_ != MyTabButton) {
        return;
    }
    my_->HideAllTiles();
    my_->SetManageMode(!my_->ManageMode());
    Button(DeleteAllButton)->setVisible(my_->ManageMode());
    my_->GoToPage(my_->CurrentPage());
    HighlightPageDot(my_->CurrentPage());
}

// ---- paging

void MainWindow::PageDotClicked(int number) {
    grid::GridView* view = ViewOnShow();
    // The seventh dot is drawn and selected on page 7, but has never paged.
    if (view == nullptr || number < 1 || number >= PageBar::kDots) {
        return;
    }
    const unsigned before = view->CurrentPage();
    view->GoToPage(static_cast<unsigned>(number));
    if (view->CurrentPage() != before) {
        HighlightPageDot(static_cast<unsigned>(number));
    }
}

void MainWindow::PageCommandClicked(grid::PageCommand command) {
    grid::GridView* view = ViewOnShow();
    if (view == nullptr) {
        return;
    }
    view->GoToPage(command);
    HighlightPageDot(view->CurrentPage());
}

// ---- title-bar commands and the end

void MainWindow::Minimise() {
    showMinimized();
}

void MainWindow::CloseByExitSetting() {
    if (!settings_.CloseToTray()) {
        EndProgram();
        return;
    }
    // Without a tray the icon could not bring the window back: it stays on the taskbar.
    if (!TrayHandler::Available()) {
        showMinimized();
        return;
    }
    tray_->ShowIcon();
    hide();
}

void MainWindow::EndProgram() {
    tray_->RemoveIcon();
    QDialog::done(QDialog::Rejected);
}

void MainWindow::reject() {
    // Escape ends a search first, then backs out of a game's entries, then does what the close
    // button does.
    if (search_->Close()) {
        return;
    }
    if (selectedTab_ == OnlineTabButton && online_ != nullptr && !online_->AtGameLevel()) {
        ManageOrBack();
        return;
    }
    CloseByExitSetting();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Alt+F4 and the taskbar end the program whatever `exit` says; only the close button
    // looks at it.
    EndProgram();
    event->accept();
}

bool MainWindow::focusNextPrevChild(bool next) {
    return keys_.MoveFocus(next);
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (keys_.HandleKey(*event)) {
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    if (search_->TakeKey(*event)) {
        return;
    }
    ui::SkinnedWindow::keyPressEvent(event);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    ui::SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.drawImage(kListMarkerPosition, ui::LoadPngResource(ui::Png::ListMarker));
}

}  // namespace app

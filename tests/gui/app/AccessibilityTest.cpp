#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <memory>

#include "RunFixture.h"
#include "app/PageBar.h"
#include "catalog/UserSettings.h"
#include "ui/AboutBox.h"
#include "ui/DownloadDialog.h"
#include "ui/FeedbackForm.h"
#include "ui/PngButton.h"
#include "ui/SettingsDialog.h"
#include "ui/UpgradeReport.h"

namespace {

using catalog::ViewKind;

// The role a control that the user can act on must announce, by its class; nullopt for a
// class this list does not know yet (add it here with its role).
std::optional<QAccessible::Role> ExpectedRole(QWidget* widget) {
    if (auto* button = qobject_cast<ui::PngButton*>(widget)) {
        // Tabs are tabs; every other skinned button is a push button.
        return button->IsSelectable() && button->width() > 100 ? QAccessible::PageTab
                                                               : QAccessible::PushButton;
    }
    if (qobject_cast<grid::ItemTile*>(widget) != nullptr) {
        return QAccessible::Button;
    }
    if (qobject_cast<QCheckBox*>(widget) != nullptr) {
        return QAccessible::CheckBox;
    }
    if (qobject_cast<QRadioButton*>(widget) != nullptr) {
        return QAccessible::RadioButton;
    }
    if (qobject_cast<QPushButton*>(widget) != nullptr) {
        return QAccessible::PushButton;
    }
    return std::nullopt;
}

// Every shown control of `window` that the keyboard or an assistive action can reach, with
// what is wrong with it for a screen reader: no name, or not the role of its kind.
std::vector<std::string> Faults(QWidget* window) {
    std::vector<std::string> faults;
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    int interactive = 0;
    for (QWidget* widget : widgets) {
        if (!widget->isVisibleTo(window) && widget != window) {
            continue;
        }
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        if (face == nullptr) {
            continue;
        }
        QAccessibleActionInterface* actions = face->actionInterface();
        const bool acts =
            actions != nullptr &&
            (actions->actionNames().contains(QAccessibleActionInterface::pressAction()) ||
             actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        if (!face->state().focusable && !acts) {
            continue;
        }
        ++interactive;
        const std::string what = widget->metaObject()->className() + std::string(" ") +
                                 widget->objectName().toStdString() + " at " +
                                 std::to_string(widget->x()) + "," + std::to_string(widget->y());
        if (face->text(QAccessible::Name).trimmed().isEmpty()) {
            faults.push_back(what + ": no name");
        }
        const std::optional<QAccessible::Role> role = ExpectedRole(widget);
        if (!role) {
            faults.push_back(what + ": a control of a kind without a known role");
        } else if (face->role() != *role) {
            faults.push_back(what + ": role " + std::to_string(face->role()) + " instead of " +
                             std::to_string(*role));
        }
    }
    if (interactive == 0) {
        faults.push_back("no control at all");
    }
    return faults;
}

QString Name(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

class AccessibilityTest : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        dir_.WriteGames({1001, 1002});
        dir_.WriteGeneralTools({
            {20001, 187, "装好的工具", 0, 1},
            {20002, 187, "没装的工具", 0, 0},
            {20003, 189, "网页工具", 0, 0, "http://pages.test/a"},
        });
        dir_.WriteUsed({{20001, 187, "装好的工具", 0, 1}});
    }
};

TEST_F(AccessibilityTest, EveryControlOfTheMainWindowIsNamedWithItsRole) {
    app::MainWindow& window = Open();
    const std::pair<const char*, std::function<void()>> states[] = {
        {"online games", [&] { window.ShowOnlineTab(); }},
        {"a game's entries", [&] { window.View(ViewKind::OnlineGames)->EnterGame(1001); }},
        {"general tools", [&] { window.ShowToolsTab(); }},
        {"my tab", [&] { window.ShowMyTab(); }},
        {"manage mode", [&] { window.ManageOrBack(); }},
    };
    for (const auto& [name, reach] : states) {
        SCOPED_TRACE(name);
        reach();
        EXPECT_EQ(Faults(&window), std::vector<std::string>{});
    }
}

TEST_F(AccessibilityTest, TabsPagesAndTheBandButtonsSayWhatTheyAre) {
    app::MainWindow& window = Open();
    window.ShowToolsTab();
    using W = app::MainWindow;
    const std::pair<W::Control, const char*> tabs[] = {{W::MyTabButton, "我的Ravik"},
                                                       {W::OnlineTabButton, "网络游戏"},
                                                       {W::ToolsTabButton, "通用工具"}};
    for (const auto& [tab, name] : tabs) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window.Button(tab));
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(name));
        EXPECT_EQ(face->role(), QAccessible::PageTab);
        EXPECT_TRUE(face->state().selectable);
        EXPECT_EQ(face->state().selected, tab == W::ToolsTabButton) << name;
    }
    const std::pair<W::Control, const char*> captions[] = {{W::HelpButton, "使用教程"},
                                                           {W::SettingsButton, "主菜单"},
                                                           {W::MinimiseButton, "最小化"},
                                                           {W::CloseButton, "关闭"},
                                                           {W::ForumButton, "玩家论坛"}};
    for (const auto& [id, name] : captions) {
        EXPECT_EQ(Name(window.Button(id)), QString::fromUtf8(name));
    }
    for (int dot = 1; dot <= app::PageBar::kDots; ++dot) {
        EXPECT_EQ(Name(window.Pages().Dot(dot)), QStringLiteral("第 %1 页").arg(dot));
    }
    EXPECT_TRUE(QAccessible::queryAccessibleInterface(window.Pages().Dot(1))->state().selected);

    window.ShowMyTab();
    EXPECT_EQ(Name(window.Button(W::ManageOrBackButton)), QStringLiteral("管理"));
    window.ShowOnlineTab();
    window.View(ViewKind::OnlineGames)->EnterGame(1001);
    EXPECT_EQ(Name(window.Button(W::ManageOrBackButton)), QStringLiteral("返回"));
    // The press action does what a click does.
    QAccessible::queryAccessibleInterface(window.Button(W::ManageOrBackButton))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(window.View(ViewKind::OnlineGames)->AtGameLevel());
}

TEST_F(AccessibilityTest, TilesAreButtonsNamedByTitleAndDescribedByStateAndInfo) {
    struct TileCase {
        ViewKind kind;
        uint32_t id;
        uint32_t gameId;
        const char* name;
        const char* description;
    };
    const TileCase cases[] = {
        {ViewKind::GeneralTools, 20001, 0, "装好的工具", "已安装"},
        {ViewKind::GeneralTools, 20002, 0, "没装的工具", "未安装"},
        {ViewKind::GeneralTools, 20003, 0, "网页工具", "网页"},
        {ViewKind::OnlineGames, 100111, 1001, "启动游戏", "启动游戏"},
        {ViewKind::OnlineGames, 100122, 1001, "下载游戏", "网页"},
    };
    Open();
    for (const TileCase& c : cases) {
        SCOPED_TRACE(c.name);
        grid::ItemTile* tile = Tile(c.kind, c.id, c.gameId);
        ASSERT_NE(tile, nullptr);
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(tile);
        EXPECT_EQ(face->role(), QAccessible::Button);
        EXPECT_EQ(face->text(QAccessible::Name), QString::fromUtf8(c.name));
        EXPECT_TRUE(
            face->text(QAccessible::Description).startsWith(QString::fromUtf8(c.description)))
            << face->text(QAccessible::Description).toStdString();
        EXPECT_TRUE(face->state().focusable);
    }
    // A game tile: its description after what it is.
    window_->View(ViewKind::OnlineGames)->LeaveGame();
    grid::ItemTile* game = window_->View(ViewKind::OnlineGames)->TileAt(0);
    ASSERT_NE(game, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(game)->text(QAccessible::Description),
              QStringLiteral("网络游戏。游戏1的介绍"));
    // Pressing it through assistive technology enters it, as a double click does.
    QAccessible::queryAccessibleInterface(game)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    EXPECT_EQ(window_->View(ViewKind::OnlineGames)->EnteredGameId(), 1001u);
}

TEST_F(AccessibilityTest, EveryControlOfTheDialogsIsNamedWithItsRole) {
    catalog::UserSettings settings(dir_.dir());
    const std::pair<const char*, std::function<std::unique_ptr<QWidget>()>> dialogs[] = {
        {"settings", [&] { return std::make_unique<ui::SettingsDialog>(settings); }},
        {"about",
         [] {
             return std::make_unique<ui::AboutBox>(QStringLiteral("2.0"),
                                                   QStringLiteral("http://ravik.test/desk/"));
         }},
        {"upgrade report",
         [] { return std::make_unique<ui::UpgradeReport>(QStringLiteral("程序已升级。")); }},
        {"feedback", [] { return std::make_unique<ui::FeedbackForm>(); }},
        {"download", [] { return std::make_unique<ui::DownloadDialog>(); }},
    };
    for (const auto& [name, make] : dialogs) {
        SCOPED_TRACE(name);
        std::unique_ptr<QWidget> dialog = make();
        dialog->setAttribute(Qt::WA_DeleteOnClose, false);
        dialog->show();
        EXPECT_EQ(Faults(dialog.get()), std::vector<std::string>{});
    }
}

// What a screen reader asks the window for when it follows the keyboard: the control with the
// focus. (Qt announces every focus change of a widget itself; without a platform
// accessibility bridge, as offscreen, the announcements go nowhere, so the test asks.)
TEST_F(AccessibilityTest, TheWindowsFocusedChildFollowsTheKeyboard) {
    app::MainWindow& window = Open();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.ShowToolsTab();
    grid::GridView* tools = window.View(ViewKind::GeneralTools);
    tools->FocusItem(0);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&window);
    const std::pair<int, QWidget*> steps[] = {
        {Qt::Key_Right, tools->TileAt(1)},
        {Qt::Key_End, tools->TileAt(2)},
        {Qt::Key_Tab, window.Pages().Button(grid::PageCommand::First)},
    };
    for (const auto& [key, expected] : steps) {
        QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key));
        QAccessibleInterface* focused = face->focusChild();
        ASSERT_NE(focused, nullptr);
        EXPECT_EQ(focused->object(), expected);
        EXPECT_TRUE(focused->state().focused);
        EXPECT_FALSE(focused->text(QAccessible::Name).isEmpty());
    }
}

}  // namespace

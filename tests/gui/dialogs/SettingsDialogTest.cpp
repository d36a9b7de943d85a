#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPointer>
#include <QRadioButton>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "DialogTestSupport.h"
#include "TempDir.h"
#include "catalog/IniFile.h"
#include "catalog/UserSettings.h"
#include "platform/Autostart.h"
#include "platform/Paths.h"
#include "ui/PngButton.h"
#include "ui/SettingsDialog.h"

namespace {

using ui::SettingsDialog;

// A program directory and an autostart location of its own.
class SettingsDialogTest : public testing::Test {
  protected:
    SettingsDialogTest() { setenv("XDG_CONFIG_HOME", (config_ / "config").c_str(), 1); }
    ~SettingsDialogTest() override { unsetenv("XDG_CONFIG_HOME"); }

    QPointer<SettingsDialog> Open() {
        auto* dialog = new SettingsDialog(settings_);
        dialog->show();
        return dialog;
    }
    static void Click(ui::PngButton* button) {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    }
    // The stored text, so "0" and a missing key stay apart.
    std::string Key(const char* key) const {
        return catalog::ReadProfileString(settings_.FilePath(), "system", key, "<missing>", 19);
    }

    TempDir dir_;
    TempDir config_;
    catalog::UserSettings settings_{dir_.dir()};
};

TEST_F(SettingsDialogTest, ShowsTheStoredValues) {
    const struct {
        const char* name;
        const char* file;  // usercfg.dat; null: no file
        bool autostart, automin, tray, autoupdate;
    } cases[] = {
        {"no file", nullptr, false, false, false, false},
        {"no system section", "[ravikver]\nversion=1.0\n", false, false, false, false},
        {"all on", "[system]\nautostart=1\nautomin=1\nexit=1\nautoupdate=1\n", true, true, true,
         true},
        {"all off", "[system]\nautostart=0\nautomin=0\nexit=0\nautoupdate=0\n", false, false, false,
         false},
        {"only 1 is on", "[SYSTEM]\nAutoStart=yes\nautomin=2\nexit= 1 \nautoupdate=11\n", false,
         false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dir_.path() / "usercfg.dat");
        if (c.file != nullptr) {
            dir_.Write("usercfg.dat", c.file);
        }
        QPointer<SettingsDialog> dialog = Open();
        EXPECT_EQ(dialog->AutostartBox()->isChecked(), c.autostart);
        EXPECT_EQ(dialog->AutoMinBox()->isChecked(), c.automin);
        EXPECT_EQ(dialog->TrayRadio()->isChecked(), c.tray);
        EXPECT_EQ(dialog->ExitRadio()->isChecked(), !c.tray);
        EXPECT_EQ(dialog->AutoUpdateRadio()->isChecked(), c.autoupdate);
        EXPECT_EQ(dialog->PromptUpdateRadio()->isChecked(), !c.autoupdate);
        Click(dialog->CancelButton());
        ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    }
}

TEST_F(SettingsDialogTest, Layout) {
    QPointer<SettingsDialog> dialog = Open();
    dialogtest::SaveScreenshot(dialog, QStringLiteral("settings"));
    EXPECT_EQ(dialog->size(), QSize(340, 330));
    EXPECT_EQ(dialog->OkButton()->geometry(), QRect(80, 264, 60, 20));
    EXPECT_EQ(dialog->CancelButton()->geometry(), QRect(211, 264, 60, 20));
    EXPECT_FALSE(dialog->mask().isEmpty());
    // The choices sit inside the window, clear of each other and of the buttons.
    const QWidget* choices[] = {dialog->AutostartBox(),    dialog->AutoMinBox(),
                                dialog->TrayRadio(),       dialog->ExitRadio(),
                                dialog->AutoUpdateRadio(), dialog->PromptUpdateRadio(),
                                dialog->OkButton(),        dialog->CancelButton()};
    for (const QWidget* a : choices) {
        EXPECT_TRUE(dialog->rect().contains(a->geometry())) << a->geometry().x();
        for (const QWidget* b : choices) {
            EXPECT_TRUE(a == b || !a->geometry().intersects(b->geometry()));
        }
    }
    dialog->close();
}

TEST_F(SettingsDialogTest, OkWritesAllFourKeysAndTheAutostartEntry) {
    // Saving unchanged defaults still writes every key, and removing an entry that does not
    // exist is fine.
    QPointer<SettingsDialog> dialog = Open();
    Click(dialog->OkButton());
    ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    for (const char* key : {"autostart", "automin", "exit", "autoupdate"}) {
        EXPECT_EQ(Key(key), "0") << key;
    }
    EXPECT_EQ(platform::AutostartProgram(), "");

    dialog = Open();
    dialog->AutostartBox()->click();
    dialog->AutoMinBox()->click();
    dialog->TrayRadio()->click();
    dialog->AutoUpdateRadio()->click();
    Click(dialog->OkButton());
    ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    for (const char* key : {"autostart", "automin", "exit", "autoupdate"}) {
        EXPECT_EQ(Key(key), "1") << key;
    }
    // No launcher in the program directory: the entry names the running program.
    EXPECT_EQ(platform::AutostartProgram(), platform::ExecutablePath());

    // A new window shows what was saved; clearing autostart removes the entry again.
    dialog = Open();
    EXPECT_TRUE(dialog->AutostartBox()->isChecked());
    EXPECT_TRUE(dialog->TrayRadio()->isChecked());
    dialog->AutostartBox()->click();
    Click(dialog->OkButton());
    ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    EXPECT_EQ(Key("autostart"), "0");
    EXPECT_EQ(Key("automin"), "1");
    EXPECT_EQ(platform::AutostartProgram(), "");
}

TEST_F(SettingsDialogTest, CancelAndEscapeWriteNothing) {
    const std::string before = "[system]\r\nautostart=0\r\n; kept as it is\r\n";
    for (bool escape : {false, true}) {
        dir_.Write("usercfg.dat", before);
        QPointer<SettingsDialog> dialog = Open();
        dialog->AutostartBox()->click();
        dialog->TrayRadio()->click();
        if (escape) {
            QTest::keyClick(dialog, Qt::Key_Escape);
        } else {
            Click(dialog->CancelButton());
        }
        ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); })) << escape;
        EXPECT_EQ(dir_.Read("usercfg.dat"), before) << escape;
        EXPECT_EQ(platform::AutostartProgram(), "") << escape;
    }
}

TEST_F(SettingsDialogTest, TwoWindowsAtOnceTheLastSavedWins) {
    QPointer<SettingsDialog> first = Open();
    QPointer<SettingsDialog> second = Open();
    first->AutostartBox()->click();
    first->AutoUpdateRadio()->click();
    second->AutoMinBox()->click();
    Click(first->OkButton());
    ASSERT_TRUE(dialogtest::WaitFor([&] { return first.isNull(); }));
    ASSERT_FALSE(second.isNull());
    EXPECT_EQ(Key("autostart"), "1");
    EXPECT_NE(platform::AutostartProgram(), "");

    Click(second->OkButton());
    ASSERT_TRUE(dialogtest::WaitFor([&] { return second.isNull(); }));
    EXPECT_EQ(Key("autostart"), "0");
    EXPECT_EQ(Key("automin"), "1");
    EXPECT_EQ(Key("autoupdate"), "0");
    EXPECT_EQ(platform::AutostartProgram(), "");
}

TEST_F(SettingsDialogTest, ASaveThatFailsIsToldAndTheWindowStays) {
    dir_.Write("file", "a plain file where a folder would be needed");
    dir_.Write("readonly/usercfg.dat", "[system]\nautomin=0\n");
    std::filesystem::permissions(dir_.PathOf("readonly/usercfg.dat"),
                                 std::filesystem::perms::owner_read);
    const struct {
        const char* what;
        std::string programDir;
        const char* reason;
    } cases[] = {
        {"program directory below a file", dir_ / "file/program/", "路径中有同名的文件"},
        {"read-only settings file", dir_ / "readonly/", "权限不足"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        catalog::UserSettings settings(c.programDir);
        QPointer<SettingsDialog> dialog = new SettingsDialog(settings);
        dialog->show();
        dialog->AutoMinBox()->click();
        dialogtest::MessageBoxAnswerer boxes(QMessageBox::Ok);
        Click(dialog->OkButton());
        ASSERT_TRUE(dialogtest::WaitFor([&] { return !boxes.SeenBoxes().empty(); }));
        ASSERT_EQ(boxes.SeenBoxes().size(), 1u);
        EXPECT_EQ(boxes.SeenBoxes()[0].text,
                  QStringLiteral("无法保存设置：") +
                      QString::fromStdString(c.programDir + "usercfg.dat") + QStringLiteral("（") +
                      QString::fromUtf8(c.reason) + QStringLiteral("）"));
        // Nothing claims to be saved: the window stays with the user's choices.
        ASSERT_TRUE(dialogtest::PendingDeletesDone());
        ASSERT_FALSE(dialog.isNull());
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(dialog->AutoMinBox()->isChecked());
        EXPECT_FALSE(settings.AutoMin());
        dialog->close();
        ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    }
}

}  // namespace

TEST_F(SettingsDialogTest, TabReachesTheButtonsAndEnterSaves) {
    dir_.Write("usercfg.dat", "[system]\r\nautomin=0\r\n");
    QPointer<SettingsDialog> dialog = Open();
    QApplication::setActiveWindow(dialog);
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    dialog->AutoMinBox()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog->AutoMinBox(), Qt::Key_Space);
    // Tab goes on through the choices to 确定 and 取消, then round again.
    std::vector<QWidget*> visited;
    for (int n = 0; n < 8; ++n) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited.push_back(QApplication::focusWidget());
    }
    const auto ok = std::find(visited.begin(), visited.end(), dialog->OkButton());
    ASSERT_NE(ok, visited.end());
    ASSERT_NE(ok + 1, visited.end());
    EXPECT_EQ(*(ok + 1), dialog->CancelButton());
    // Enter on a choice saves, as 确定 does.
    dialog->AutoMinBox()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog->AutoMinBox(), Qt::Key_Return);
    ASSERT_TRUE(dialogtest::WaitFor([&] { return dialog.isNull(); }));
    EXPECT_EQ(Key("automin"), "1");
}

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>

#include "DialogTestSupport.h"
#include "FrameCatcher.h"
#include "RunFixture.h"
#include "ui/FeedbackForm.h"
#include "ui/PngButton.h"
#include "ui/SettingsDialog.h"

namespace {

using catalog::ViewKind;
using dialogtest::MessageBoxAnswerer;
using dialogtest::WaitFor;

using WindowRequestsTest = RunFixture;

std::vector<ui::SettingsDialog*> OpenSettingsWindows() {
    std::vector<ui::SettingsDialog*> open;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<ui::SettingsDialog*>(widget);
            dialog && dialog->isVisible()) {
            open.push_back(dialog);
        }
    }
    return open;
}

TEST_F(WindowRequestsTest, EverySettingsRequestOpensAnotherSettingsWindow) {
    dir_.Write("usercfg.dat", "[system]\nautomin=1\n");
    Open();
    const std::string settings = dir_.Read("usercfg.dat");
    emit window_->settingsRequested();
    emit window_->settingsRequested();
    const std::vector<ui::SettingsDialog*> open = OpenSettingsWindows();
    ASSERT_EQ(open.size(), 2u);
    EXPECT_TRUE(open[0]->AutoMinBox()->isChecked());
    // Cancel writes nothing and the window goes away.
    QPointer<ui::SettingsDialog> first = open[0];
    first->CancelButton()->click();
    EXPECT_TRUE(WaitFor([&] { return first.isNull(); }));
    EXPECT_EQ(OpenSettingsWindows().size(), 1u);
    EXPECT_EQ(dir_.Read("usercfg.dat"), settings);
    window_.reset();
    EXPECT_TRUE(OpenSettingsWindows().empty());
}

TEST_F(WindowRequestsTest, FeedbackFromATileReachesTheDataServer) {
    FrameCatcher server;
    ASSERT_TRUE(server.Listening());
    dir_.Write("launcher.ini", server.LauncherIni());
    dir_.WriteGames({1001});
    dir_.WriteGameTools(1001, {{5001, 187, "补丁", 1001, 1}});
    dir_.WriteGeneralTools({});
    Open();
    MessageBoxAnswerer boxes(QMessageBox::Ok);
    bool formSeen = false;
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<ui::FeedbackForm*>(QApplication::activeModalWidget());
        if (form == nullptr) {
            return;
        }
        formSeen = form->parentWidget() == window_.get();
        form->CannotRunBox()->setChecked(true);
        form->VirusAlarmBox()->setChecked(true);
        form->SubmitButton()->click();
    });
    Tile(ViewKind::OnlineGames, 5001, 1001)->RunCommand(grid::TileCommand::Feedback);
    EXPECT_TRUE(formSeen);
    ASSERT_TRUE(WaitFor([&] { return server.HasFrame(); }));
    const std::vector<std::string> fields = server.Fields();
    ASSERT_EQ(fields.size(), 9u);
    EXPECT_EQ(fields[0], "^4");
    EXPECT_EQ(fields[5], "1001");
    EXPECT_EQ(fields[6], "5001");
    EXPECT_EQ(fields[7], "无法运行，杀软报毒");
    server.Answer();
}

}  // namespace

#include <gtest/gtest.h>

#include <QScreen>
#include <QWidget>
#include <functional>
#include <memory>

#include "TempDir.h"
#include "catalog/UserSettings.h"
#include "ui/AboutBox.h"
#include "ui/BusyBox.h"
#include "ui/DownloadDialog.h"
#include "ui/FeedbackForm.h"
#include "ui/SettingsDialog.h"
#include "ui/UpgradeReport.h"
#include "ui/WindowPlacement.h"

namespace {

using ui::WindowPlacement;

TEST(WindowPlacementTest, CentredOnTheAnchorAndInsideTheScreen) {
    const QRect screen(0, 0, 1920, 1040);
    const QRect secondScreen(1920, 30, 1280, 994);  // beside the first, a panel at its top
    const QSize main(310, 528);
    const struct {
        const char* name;
        QSize size;
        QRect anchor;
        QRect available;
        QRect expected;
    } cases[] = {
        {"middle of the screen", {360, 200}, {{800, 300}, main}, screen, {775, 464, 360, 200}},
        {"near the right edge", {360, 200}, {{1700, 300}, main}, screen, {1560, 464, 360, 200}},
        {"near the bottom edge", {575, 438}, {{800, 700}, main}, screen, {668, 602, 575, 438}},
        {"partly off the left and top", {360, 200}, {{-250, -400}, main}, screen, {0, 0, 360, 200}},
        {"on the second screen, near its left edge",
         {360, 200},
         {{1900, 0}, main},
         secondScreen,
         {1920, 164, 360, 200}},
        {"below the panel of the second screen",
         {575, 438},
         {{2500, -200}, main},
         secondScreen,
         {2368, 30, 575, 438}},
        {"larger than the screen",
         {1017, 730},
         {{300, 40}, main},
         {0, 0, 800, 600},
         {0, 0, 1017, 730}},
        {"wider than the screen, near its bottom",
         {1017, 300},
         {{300, 400}, main},
         {0, 0, 800, 600},
         {0, 300, 1017, 300}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(WindowPlacement::CentredInside(c.size, c.anchor, c.available), c.expected);
    }
}

// Every secondary window opens over the window it belongs to: its parent, or for those
// that have none the main window.
TEST(WindowPlacementTest, SecondaryWindowsOpenOverTheMainWindow) {
    TempDir dir;
    catalog::UserSettings settings(dir.dir());
    QWidget mainWindow;
    WindowPlacement::SetMainWindow(&mainWindow);
    const QRect screen = mainWindow.screen()->availableGeometry();
    const struct {
        const char* name;
        std::function<QWidget*(QWidget* main)> open;
    } windows[] = {
        {"settings", [&](QWidget* main) { return new ui::SettingsDialog(settings, main); }},
        {"download", [](QWidget* main) { return new ui::DownloadDialog(main); }},
        {"feedback", [](QWidget* main) { return new ui::FeedbackForm(main); }},
        {"about", [](QWidget*) { return new ui::AboutBox(QStringLiteral("1.0"), QString()); }},
        {"upgrade report", [](QWidget*) { return new ui::UpgradeReport(QStringLiteral("x")); }},
        {"busy box", [&](QWidget*) { return new ui::BusyBox(QString::fromStdString(dir.dir())); }},
    };
    const struct {
        const char* name;
        QPoint mainAt;
    } places[] = {
        {"main window in the middle", screen.center() - QPoint(155, 264)},
        {"main window at the right edge", screen.topRight() - QPoint(200, -20)},
        {"main window at the bottom left", screen.bottomLeft() - QPoint(100, 300)},
    };
    for (const auto& place : places) {
        mainWindow.setGeometry(QRect(place.mainAt, QSize(310, 528)));
        for (const auto& window : windows) {
            SCOPED_TRACE(std::string(place.name) + ", " + window.name);
            std::unique_ptr<QWidget> opened(window.open(&mainWindow));
            EXPECT_EQ(opened->geometry(), WindowPlacement::CentredInside(
                                              opened->size(), mainWindow.geometry(), screen));
            EXPECT_TRUE(screen.contains(opened->geometry()));
        }
    }
    WindowPlacement::SetMainWindow(nullptr);
}

}  // namespace

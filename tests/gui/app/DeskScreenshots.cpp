// Draws the main window on a copy of a program directory (the demo data in res/demo) with
// the offscreen platform and saves what a user sees: every tab, a game's entries, manage
// mode, the settings menu and the tray menu.
//   desk_screenshots PROGRAM_DIR OUTPUT_DIR
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QTest>
#include <cstdio>
#include <filesystem>

#include "app/MainMenu.h"
#include "app/MainWindow.h"
#include "app/TrayHandler.h"
#include "grid/GridView.h"
#include "grid/ItemTile.h"
#include "ui/PngButton.h"

namespace {

bool Save(const QImage& image, const QString& directory, const QString& name) {
    const QString path = QDir(directory).filePath(name);
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

QImage Grab(QWidget& widget) {
    QApplication::processEvents();
    return widget.grab().toImage();
}

// The window with an open menu drawn over it where the menu sits.
QImage WithMenu(QWidget& window, QMenu& menu) {
    QApplication::processEvents();
    const QImage base = Grab(window);
    const QImage popup = menu.grab().toImage();
    const QPoint at = menu.pos() - window.pos();
    QRect area = QRect(QPoint(0, 0), base.size()).united(QRect(at, popup.size()));
    QImage canvas(area.size(), QImage::Format_ARGB32_Premultiplied);
    canvas.fill(QColor(40, 40, 40));
    QPainter painter(&canvas);
    painter.drawImage(-area.topLeft(), base);
    painter.drawImage(at - area.topLeft(), popup);
    return canvas;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: desk_screenshots PROGRAM_DIR OUTPUT_DIR\n");
        return 2;
    }
    // The window writes its settings into its program directory: work on a copy.
    const std::filesystem::path work = std::filesystem::temp_directory_path() / "ravik-screenshots";
    std::filesystem::remove_all(work);
    std::filesystem::copy(argv[1], work, std::filesystem::copy_options::recursive);
    // Nor may it touch the user's own autostart entry.
    const std::filesystem::path config = work / ".config";
    std::filesystem::create_directories(config);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    const QString output = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(output);

    app::DeskOptions options = app::DeskOptions::For(work.string() + "/");
    options.startServerWorker = false;
    app::MainWindow window(options);
    window.move(40, 40);
    window.Start();
    window.show();
    QApplication::processEvents();

    bool ok = true;
    window.ShowOnlineTab();
    ok &= Save(Grab(window), output, "online-games.png");
    window.ShowMyTab();
    ok &= Save(Grab(window), output, "my-tab.png");
    window.ManageOrBack();
    ok &= Save(Grab(window), output, "manage-mode.png");
    window.ManageOrBack();
    window.ShowToolsTab();
    ok &= Save(Grab(window), output, "general-tools.png");

    window.ShowOnlineTab();
    grid::GridView* online = window.View(catalog::ViewKind::OnlineGames);
    if (online->ItemCount() > 0) {
        grid::ItemTile* first = online->VisibleTiles().front();
        QTest::mouseDClick(first, Qt::LeftButton);
        ok &= Save(Grab(window), output, "game-entries.png");
        window.ManageOrBack();
    }

    window.Button(app::MainWindow::SettingsButton)->click();
    if (QMenu* menu = window.Menu().Menu()) {
        ok &= Save(WithMenu(window, *menu), output, "settings-menu.png");
        menu->close();
    }

    QMenu* tray = window.Tray().Menu();
    window.Tray().UpdateMenuTexts();
    tray->popup(window.pos() + QPoint(200, 300));
    ok &= Save(WithMenu(window, *tray), output, "tray-menu.png");
    tray->close();

    std::filesystem::remove_all(work);
    return ok ? 0 : 1;
}

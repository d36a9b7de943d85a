#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

#include "catalog/LauncherConfig.h"
#include "catalog/UserSettings.h"

class QWidget;

namespace ui {
class AboutBox;
}

namespace app {

// The settings menu of the main window's button ("官方网站", "个人设置", "检查更新",
// "关于Ravik", "退    出"), the product, help and forum pages it and the title-bar buttons
// open, and the about box.
class MainMenu : public QObject {
    Q_OBJECT
  public:
    // The menu's commands; an action carries its command as its data.
    enum Command { Site, Settings, CheckUpdate, About, Exit };
    // Where the menu opens: this far right of and below the button's top-left corner.
    static constexpr QPoint kOffset{5, 25};

    MainMenu(QWidget* window, catalog::LauncherConfig web, const catalog::UserSettings& settings);

    // Builds the menu anew and opens it at the button.
    void Popup(QWidget* button);
    // The menu opened last, while it is open.
    QMenu* Menu() const { return menu_; }

    // The pages open in the default browser.
    QString SiteUrl() const;
    QString HelpUrl() const;
    QString ForumUrl() const;
    void OpenSite() const;
    void OpenHelp() const;
    void OpenForum() const;
    // A new about box each time.
    ui::AboutBox* ShowAbout();

  signals:
    void settingsRequested();
    void checkUpdateRequested();
    void exitRequested();

  private:
    QWidget* window_;
    catalog::LauncherConfig web_;
    const catalog::UserSettings& settings_;
    QPointer<QMenu> menu_;
};

}  // namespace app

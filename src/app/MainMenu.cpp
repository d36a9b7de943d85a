#include "app/MainMenu.h"

#include <QMenu>
#include <QWidget>

#include "platform/Shell.h"
#include "ui/AboutBox.h"

namespace app {

MainMenu::MainMenu(QWidget* window, catalog::LauncherConfig web,
                   const catalog::UserSettings& settings)
    : QObject(window), window_(window), web_(std::move(web)), settings_(settings) {}

QString MainMenu::SiteUrl() const {
    return QString::fromStdString(web_.productUrl) + QStringLiteral("/desk/");
}

QString MainMenu::HelpUrl() const {
    return QString::fromStdString(web_.productUrl) + QStringLiteral("/desk/jc.shtml");
}

QString MainMenu::ForumUrl() const {
    return QString::fromStdString(web_.forumUrl) + QStringLiteral("/forum-1122-1.html");
}

void MainMenu::OpenSite() const {
    platform::OpenUrl(SiteUrl().toStdString());
}

void MainMenu::OpenHelp() const {
    platform::OpenUrl(HelpUrl().toStdString());
}

void MainMenu::OpenForum() const {
    platform::OpenUrl(ForumUrl().toStdString());
}

ui::AboutBox* MainMenu::ShowAbout() {
    auto* about = new ui::AboutBox(QString::fromStdString(settings_.Version()), SiteUrl());
    about->show();
    return about;
}

void MainMenu::Popup(QWidget* button) {
    if (menu_) {
        menu_->close();
    }
    menu_ = new QMenu(window_);
    menu_->setAttribute(Qt::WA_DeleteOnClose);
    auto add = [this](const QString& text, Command id, auto slot) {
        QAction* action = menu_->addAction(text);
        action->setData(static_cast<int>(id));
        connect(action, &QAction::triggered, this, slot);
    };
    add(QStringLiteral("官方网站"), Site, [this] { OpenSite(); });
    add(QStringLiteral("个人设置"), Settings, [this] { emit settingsRequested(); });
    add(QStringLiteral("检查更新"), CheckUpdate, [this] { emit checkUpdateRequested(); });
    add(QStringLiteral("关于Ravik"), About, [this] { ShowAbout(); });
    add(QStringLiteral("退    出"), Exit, [this] { emit exitRequested(); });
    menu_->popup(button->mapToGlobal(kOffset));
}

}  // namespace app

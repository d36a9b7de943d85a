#include "app/TrayHandler.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

#include "ui/SkinImages.h"

namespace app {
namespace {

std::function<bool()>& AvailabilityOverride() {
    static std::function<bool()> available;
    return available;
}

}  // namespace

TrayHandler::TrayHandler(QWidget* window)
    : QObject(window),
      window_(window),
      icon_(new QSystemTrayIcon(ui::AppIcon(), this)),
      menu_(new QMenu()),
      toggle_(menu_->addAction(QStringLiteral("显示窗口"))) {
    icon_->setToolTip(QString::fromUtf8(kTip));
    menu_->addSeparator();
    QAction* about = menu_->addAction(QStringLiteral("关于"));
    menu_->addSeparator();
    QAction* exit = menu_->addAction(QStringLiteral("退出"));
    icon_->setContextMenu(menu_);

    connect(menu_, &QMenu::aboutToShow, this, &TrayHandler::UpdateMenuTexts);
    connect(toggle_, &QAction::triggered, this, &TrayHandler::ToggleWindow);
    connect(about, &QAction::triggered, this, &TrayHandler::aboutRequested);
    connect(exit, &QAction::triggered, this, &TrayHandler::exitRequested);
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::DoubleClick) {
                    ToggleWindow();
                }
            });
}

TrayHandler::~TrayHandler() {
    icon_->hide();
    // The menu has no parent (a tray menu must not be a child of the window), so it is ours.
    delete menu_;
}

bool TrayHandler::Available() {
    if (AvailabilityOverride()) {
        return AvailabilityOverride()();
    }
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayHandler::SetAvailability(std::function<bool()> available) {
    AvailabilityOverride() = std::move(available);
}

void TrayHandler::ShowIcon() {
    if (!icon_->isVisible()) {
        icon_->show();
    }
}

void TrayHandler::RemoveIcon() {
    icon_->hide();
}

bool TrayHandler::IconShown() const {
    return icon_->isVisible();
}

void TrayHandler::ToggleWindow() {
    if (window_->isVisible()) {
        window_->hide();
    } else {
        RestoreWindow();
    }
}

void TrayHandler::RestoreWindow() {
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void TrayHandler::UpdateMenuTexts() {
    toggle_->setText(window_->isVisible() ? QStringLiteral("隐藏窗口")
                                          : QStringLiteral("显示窗口"));
}

}  // namespace app

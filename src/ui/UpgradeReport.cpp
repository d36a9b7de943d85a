#include "ui/UpgradeReport.h"

#include <QPainter>

#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

namespace ui {

UpgradeReport::UpgradeReport(const QString& message, QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::AboutBackground), Draggable, parent),
      message_(message),
      close_(new PngButton(this)),
      ok_(new PngButton(this)) {
    setWindowTitle(QStringLiteral("Ravik升级报告"));
    setWindowIcon(AppIcon());
    WindowPlacement::SizeAndPlace(this, QSize(360, 200));

    close_->SetImage(LoadPngResource(Png::CloseButton));
    close_->setGeometry(335, 8, 20, 20);
    close_->setToolTip(QStringLiteral("关闭"));
    ok_->SetImage(LoadPngResource(Png::OkButton));
    ok_->setGeometry(280, 165, 100, 20);
    ok_->setAccessibleName(QStringLiteral("确定"));
    SetDefaultButton(ok_);
    connect(close_, &PngButton::clicked, this, &UpgradeReport::reject);
    connect(ok_, &PngButton::clicked, this, &UpgradeReport::reject);
}

QString UpgradeReport::UpgradeMessage(const QString& oldVersion, const QString& newVersion) {
    // Concatenated rather than formatted, so a version text with '%' in it stays as it is.
    return QStringLiteral("程序已从") + oldVersion + QStringLiteral("版本 升级到") + newVersion +
           QStringLiteral("版本。");
}

void UpgradeReport::paintEvent(QPaintEvent* event) {
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.setFont(UiFont(12));
    painter.setPen(QColor(250, 250, 250));
    painter.drawText(QRect(38, 10, 162, 15), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("Ravik升级报告"));
    painter.setPen(Qt::black);
    painter.drawText(QRect(30, 110, 300, 30), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     message_);
    painter.drawText(QRect(30, 130, 300, 70), Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine,
                     QStringLiteral("感谢您的使用！"));
}

}  // namespace ui

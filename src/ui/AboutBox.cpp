#include "ui/AboutBox.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

#include "catalog/LauncherConfig.h"
#include "catalog/UserSettings.h"
#include "platform/Shell.h"
#include "ui/PngButton.h"
#include "ui/SkinImages.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

namespace ui {
namespace {

const QColor kLabelColour(0, 0, 255);
const QColor kTitleColour(250, 250, 250);
const QRect kTitleRect(38, 10, 162, 15);
const QRect kVersionCaptionRect(90, 110, 64, 16);
const QRect kVersionRect(154, 110, 170, 16);
const QRect kLinkCaptionRect(90, 130, 64, 16);
const QRect kLinkRect(154, 130, 190, 16);
const QRect kCopyrightRect(90, 166, 240, 16);

}  // namespace

AboutBox::AboutBox(const QString& version, const QString& siteUrl, QWidget* parent)
    : SkinnedWindow(LoadPngResource(Png::AboutBackground), Draggable | CutCorners, parent),
      siteUrl_(siteUrl),
      close_(new PngButton(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("关于Ravik游戏桌面"));
    setWindowIcon(AppIcon());
    WindowPlacement::SizeAndPlace(this, QSize(360, 200));

    close_->SetImage(LoadPngResource(Png::CloseButton));
    close_->setGeometry(335, 8, 20, 20);
    close_->setToolTip(QStringLiteral("关闭"));
    connect(close_, &PngButton::clicked, this, &AboutBox::reject);
    SetDefaultButton(close_);

    AddLabel(QStringLiteral("当前版本: "), kVersionCaptionRect);
    version_ = AddLabel(version, kVersionRect);
    AddLabel(QStringLiteral("官方网站: "), kLinkCaptionRect);
    link_ = AddLabel(siteUrl, kLinkRect);
    AddLabel(QStringLiteral("版权所有 © Ravik游戏桌面"), kCopyrightRect);

    // The cursor follows the mouse over the link: a hand there, a text cursor elsewhere.
    setMouseTracking(true);
    setCursor(Qt::IBeamCursor);
}

AboutBox::AboutBox(const catalog::UserSettings& settings, const catalog::LauncherConfig& config,
                   QWidget* parent)
    : AboutBox(QString::fromStdString(settings.Version()),
               QString::fromStdString(config.productUrl + "/desk/"), parent) {}

QLabel* AboutBox::AddLabel(const QString& text, const QRect& rect) {
    auto* label = new QLabel(text, this);
    label->setGeometry(rect);
    label->setFont(UiFont(12));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, kLabelColour);
    label->setPalette(palette);
    // Presses and moves over the texts are the window's own: the link and the caption band
    // are handled there.
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void AboutBox::paintEvent(QPaintEvent* event) {
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    painter.setFont(UiFont(12));
    painter.setPen(kTitleColour);
    painter.drawText(kTitleRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, windowTitle());
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton &&
        link_->geometry().contains(event->position().toPoint())) {
        setCursor(Qt::PointingHandCursor);
        platform::OpenUrl(siteUrl_.toStdString());
        event->accept();
        return;
    }
    setCursor(Qt::IBeamCursor);
    SkinnedWindow::mousePressEvent(event);
}

void AboutBox::mouseMoveEvent(QMouseEvent* event) {
    const bool overLink = link_->geometry().contains(event->position().toPoint());
    setCursor(overLink ? Qt::PointingHandCursor : Qt::IBeamCursor);
    SkinnedWindow::mouseMoveEvent(event);
}

}  // namespace ui

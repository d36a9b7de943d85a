#include "ui/BusyBox.h"

#include <QPainter>
#include <QTimerEvent>

#include "platform/Paths.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

namespace ui {
namespace {

const QPoint kStripPosition(17, 18);
const QRect kTextRect(70, 36, 140, 34);

// The images ship beside the executable; a program directory given on the command line
// (--data-dir) may hold its own copies, which win.
QImage LoadFile(const QString& programDirectory, const QString& name) {
    QImage image;
    if (!image.load(programDirectory + name)) {
        image.load(QString::fromStdString(platform::ExecutableDirectory()) + name);
    }
    return image;
}

}  // namespace

BusyBox::BusyBox(const QString& programDirectory, QWidget* parent)
    : SkinnedWindow(LoadFile(programDirectory, QStringLiteral("waitbg.jpg")), NoOptions, parent),
      strip_(LoadFile(programDirectory, QStringLiteral("waiticon.jpg"))) {
    setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QStringLiteral("正在更新数据"));
    WindowPlacement::SizeAndPlace(this, QSize(230, 98));
    timer_.start(kTickMs, this);
}

void BusyBox::Advance() {
    frame_ = (frame_ + 1) % kFrames;
    update(QRect(kStripPosition, QSize(kFrameSize, kFrameSize)));
}

void BusyBox::SetText(const QString& text) {
    if (text != text_) {
        text_ = text;
        update(kTextRect);
    }
}

void BusyBox::timerEvent(QTimerEvent* event) {
    if (event->timerId() == timer_.timerId()) {
        Advance();
        return;
    }
    SkinnedWindow::timerEvent(event);
}

void BusyBox::paintEvent(QPaintEvent* event) {
    SkinnedWindow::paintEvent(event);
    QPainter painter(this);
    if (!strip_.isNull()) {
        painter.drawImage(QRect(kStripPosition, QSize(kFrameSize, kFrameSize)), strip_,
                          QRect(frame_ * kFrameSize, 0, kFrameSize, kFrameSize));
    }
    painter.setFont(UiFont(12));
    painter.setPen(QColor(250, 250, 250));
    painter.drawText(kTextRect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, text_);
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

}  // namespace ui

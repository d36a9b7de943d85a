#include "ui/SkinnedWindow.h"

#include <QPainter>

#include "ui/CaptionBand.h"
#include "ui/CutCorners.h"

namespace ui {

SkinnedWindow::SkinnedWindow(QImage background, Options options, QWidget* parent)
    : QDialog(parent), background_(std::move(background)), options_(options) {
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint);
    if (options_ & Draggable) {
        CaptionBand::Attach(this);
    }
}

void SkinnedWindow::SetBackground(QImage background) {
    background_ = std::move(background);
    update();
}

void SkinnedWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, background_);
}

void SkinnedWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (options_ & CutCorners) {
        setMask(CutCornerMask(rect()));
    }
}

}  // namespace ui

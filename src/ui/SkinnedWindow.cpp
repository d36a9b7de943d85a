#include "ui/SkinnedWindow.h"

#include <QAbstractButton>
#include <QKeyEvent>
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

void SkinnedWindow::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        defaultButton_ != nullptr && defaultButton_->isVisible() && defaultButton_->isEnabled()) {
        defaultButton_->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace ui

#include "ui/PngButton.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>

#include "ui/PngButtonAccessible.h"

namespace ui {
namespace {

// The highlight colour of the skin's frames.
const QColor kFocusOutline(92, 208, 255);

}  // namespace

PngButton::PngButton(QWidget* parent) : QAbstractButton(parent) {
    PngButtonAccessible::Register();
    // A click must not move the keyboard focus: only Tab brings it here.
    setFocusPolicy(Qt::TabFocus);
}

void PngButton::SetImage(QImage strip) {
    image_ = std::move(strip);
    frameWidth_ = image_.width() / 4;
    resize(frameWidth_, image_.height());
    updateGeometry();
    update();
}

void PngButton::SetSelectable(bool selectable) {
    selectable_ = selectable;
    update();
}

void PngButton::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

int PngButton::CurrentFrame() const {
    if (image_.isNull()) {
        return -1;
    }
    if (isDown()) {
        return 2;
    }
    if (hover_ && !selected_) {
        return 1;
    }
    if (selectable_ && selected_) {
        return 2;
    }
    return 0;
}

QSize PngButton::sizeHint() const {
    return QSize(frameWidth_, image_.height());
}

void PngButton::paintEvent(QPaintEvent*) {
    const int frame = CurrentFrame();
    if (frame < 0 || frameWidth_ == 0) {
        return;
    }
    QPainter painter(this);
    const QRect source(frame * frameWidth_, 0, frameWidth_, image_.height());
    painter.drawImage(QRect(0, 0, frameWidth_, image_.height()), image_, source);
    if (hasFocus() && outlined_) {
        painter.setPen(QPen(kFocusOutline, 1, Qt::DotLine));
        painter.drawRect(QRect(0, 0, frameWidth_, image_.height()).adjusted(0, 0, -1, -1));
    }
}

void PngButton::focusInEvent(QFocusEvent* event) {
    // Coming back with its window keeps the look the focus had.
    if (event->reason() != Qt::ActiveWindowFocusReason) {
        outlined_ = event->reason() != Qt::MouseFocusReason;
    }
    QAbstractButton::focusInEvent(event);
}

void PngButton::focusOutEvent(QFocusEvent* event) {
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        outlined_ = false;
    }
    QAbstractButton::focusOutEvent(event);
}

void PngButton::keyPressEvent(QKeyEvent* event) {
    // Enter and Return click the focused button, as they do a focused dialog button.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        click();
        event->accept();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

void PngButton::enterEvent(QEnterEvent* event) {
    hover_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PngButton::leaveEvent(QEvent* event) {
    // Leaving clears the hover look also on a selected button.
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PngButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a quick double click is an ordinary press, so two quick clicks
    // are two clicks (paging through pages with quick clicks must not lose one).
    mousePressEvent(event);
}

}  // namespace ui

#include "ui/PngButton.h"

#include <QPainter>

namespace ui {

PngButton::PngButton(QWidget* parent) : QAbstractButton(parent) {
    // The skin has no focus look; a click must not move the keyboard focus either.
    setFocusPolicy(Qt::NoFocus);
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

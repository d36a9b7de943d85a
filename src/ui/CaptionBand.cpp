#include "ui/CaptionBand.h"

#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace ui {
namespace {

std::function<bool(QWindow*)>& MoveStarter() {
    static std::function<bool(QWindow*)> starter;
    return starter;
}

bool StartMove(QWindow* window) {
    if (MoveStarter()) {
        return MoveStarter()(window);
    }
    return window != nullptr && window->startSystemMove();
}

}  // namespace

bool CaptionBand::Contains(QPoint pos, int width) {
    return pos.x() >= 0 && pos.x() < width && pos.y() >= 0 && pos.y() < kHeight;
}

CaptionBand* CaptionBand::Attach(QWidget* window) {
    return new CaptionBand(window);
}

void CaptionBand::SetMoveStarter(std::function<bool(QWindow*)> starter) {
    MoveStarter() = std::move(starter);
}

CaptionBand::CaptionBand(QWidget* window) : QObject(window), window_(window) {
    window_->installEventFilter(this);
}

bool CaptionBand::eventFilter(QObject* watched, QEvent* event) {
    if (watched != window_) {
        return false;
    }
    // Presses reach the window only when no child under the mouse took them, so a button
    // in the band keeps its click.
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton ||
                !Contains(mouse->position().toPoint(), window_->width())) {
                return false;
            }
            if (!StartMove(window_->windowHandle())) {
                // No system move here (some window systems, offscreen): move by hand.
                draggingByHand_ = true;
                grabOffset_ = mouse->globalPosition().toPoint() - window_->pos();
            }
            return true;
        }
        case QEvent::MouseMove: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (!draggingByHand_ || !(mouse->buttons() & Qt::LeftButton)) {
                return false;
            }
            window_->move(mouse->globalPosition().toPoint() - grabOffset_);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (draggingByHand_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                draggingByHand_ = false;
                return true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace ui

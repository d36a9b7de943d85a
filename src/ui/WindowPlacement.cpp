#include "ui/WindowPlacement.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace ui {
namespace {

QPointer<QWidget>& MainWindow() {
    static QPointer<QWidget> window;
    return window;
}

// The window `window` opens over: its parent's window, else the main window; null for none.
const QWidget* AnchorOf(const QWidget* window) {
    if (const QWidget* parent = window->parentWidget()) {
        return parent->window();
    }
    const QWidget* main = MainWindow();
    return main != window ? main : nullptr;
}

}  // namespace

QRect WindowPlacement::CentredInside(QSize size, const QRect& anchor, const QRect& available) {
    QRect frame(anchor.x() + (anchor.width() - size.width()) / 2,
                anchor.y() + (anchor.height() - size.height()) / 2, size.width(), size.height());
    // Right and bottom first, so that a window too large for the area ends at its left and
    // top edges.
    if (frame.right() > available.right()) {
        frame.moveRight(available.right());
    }
    if (frame.bottom() > available.bottom()) {
        frame.moveBottom(available.bottom());
    }
    if (frame.left() < available.left()) {
        frame.moveLeft(available.left());
    }
    if (frame.top() < available.top()) {
        frame.moveTop(available.top());
    }
    return frame;
}

void WindowPlacement::SetMainWindow(QWidget* window) {
    MainWindow() = window;
}

void WindowPlacement::SizeAndPlace(QWidget* window, QSize size) {
    window->resize(size);
    const QWidget* anchor = AnchorOf(window);
    QScreen* screen = nullptr;
    QRect anchorFrame;
    if (anchor != nullptr) {
        anchorFrame = anchor->frameGeometry();
        screen = QGuiApplication::screenAt(anchorFrame.center());
        if (screen == nullptr) {
            screen = anchor->screen();
        }
    } else {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    if (anchor == nullptr) {
        anchorFrame = available;
    }
    window->move(CentredInside(size, anchorFrame, available).topLeft());
}

}  // namespace ui

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

QRect WindowPlacement::MainWindowFrame() {
    const QWidget* main = MainWindow();
    return main != nullptr ? main->frameGeometry() : QRect();
}

void WindowPlacement::SizeAndPlace(QWidget* window, QSize size) {
    const QWidget* anchor = AnchorOf(window);
    SizeAndPlaceOver(window, size, anchor != nullptr ? anchor->frameGeometry() : QRect());
}

void WindowPlacement::SizeAndPlaceOver(QWidget* window, QSize size, const QRect& anchorFrame) {
    window->resize(size);
    QScreen* screen = nullptr;
    if (!anchorFrame.isNull()) {
        screen = QGuiApplication::screenAt(anchorFrame.center());
    }
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect available = screen->availableGeometry();
    window->move(
        CentredInside(size, anchorFrame.isNull() ? available : anchorFrame, available).topLeft());
}

}  // namespace ui

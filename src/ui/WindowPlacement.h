#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace ui {

// Where the launcher's secondary windows (settings, about, feedback, download, upgrade
// report, busy box, web page boxes) open: centred on the window they belong to, and wholly
// on the screen that window is on, whatever the window manager would have chosen.
class WindowPlacement {
  public:
    // The frame of a window of `size` centred on `anchor` and then moved as little as needed
    // to lie inside `available`. A window larger than `available` keeps its top-left corner,
    // and so its caption band, on the screen.
    static QRect CentredInside(QSize size, const QRect& anchor, const QRect& available);

    // The window that windows without a parent open over: the launcher's main window. It may
    // go away; then they open in the middle of the primary screen.
    static void SetMainWindow(QWidget* window);
    // The main window's frame; null while there is none.
    static QRect MainWindowFrame();

    // Gives `window` `size` and moves it to the middle of its parent's window, else of the
    // main window, else of the primary screen, inside the available area of the screen
    // under that middle.
    static void SizeAndPlace(QWidget* window, QSize size);
    // Gives `window` `size` and moves it to the middle of `anchorFrame` (a window of another
    // process; null: the primary screen), inside the available area of the screen under it.
    static void SizeAndPlaceOver(QWidget* window, QSize size, const QRect& anchorFrame);
};

}  // namespace ui

#pragma once

#include <QObject>
#include <QPoint>
#include <functional>

class QWidget;
class QWindow;

namespace ui {

// The top band of a borderless skinned window that drags the window. Children in the band
// still get their own clicks: only presses that reach the window itself (on its
// background, or on a child that does not take mouse presses, such as a label) start a
// move. Attach one to a window; it lives as the window's child.
class CaptionBand : public QObject {
    Q_OBJECT
  public:
    static constexpr int kHeight = 30;

    // True when `pos` (window client coordinates) lies in the band of a window `width`
    // pixels wide: the full width, the top kHeight pixels.
    static bool Contains(QPoint pos, int width);

    // Makes the top band of `window` drag it.
    static CaptionBand* Attach(QWidget* window);

    // Replaces how a drag is handed to the window system, for tests; the function gets the
    // window and returns whether the system took over the move. An empty function restores
    // QWindow::startSystemMove.
    static void SetMoveStarter(std::function<bool(QWindow*)> starter);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit CaptionBand(QWidget* window);

    QWidget* window_;
    // Set while the window is moved by hand, on platforms without a system move: the
    // offset of the pressed point from the window's top-left corner.
    bool draggingByHand_ = false;
    QPoint grabOffset_;
};

}  // namespace ui

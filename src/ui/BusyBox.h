#pragma once

#include <QBasicTimer>
#include <QString>

#include "ui/SkinnedWindow.h"

namespace ui {

// The busy box shown while the catalog is being updated: ten animation frames over a
// background, and one line of text, "正在更新数据，请稍等" unless the owner sets another (the
// progress of an update's download). Its images are the files "waiticon.jpg"
// (ten 50 x 50 frames side by side) and "waitbg.jpg" (230 x 98) in the program directory,
// else beside the executable; a missing file leaves that picture out. It takes no input; its
// owner deletes it.
class BusyBox : public SkinnedWindow {
    Q_OBJECT
  public:
    static constexpr int kFrames = 10;
    static constexpr int kFrameSize = 50;
    static constexpr int kTickMs = 100;

    // `programDirectory` ends with a separator.
    explicit BusyBox(const QString& programDirectory, QWidget* parent = nullptr);

    int Frame() const { return frame_; }
    const QImage& Strip() const { return strip_; }
    // One animation step, as the timer makes it every kTickMs: the next frame, after the
    // last one the first.
    void Advance();
    static QString DefaultText() { return QStringLiteral("正在更新数据，请稍等"); }
    const QString& Text() const { return text_; }
    void SetText(const QString& text);
    // Whether the box has been painted on screen at least once.
    bool Painted() const { return painted_; }

  signals:
    // The first paint: the user has seen the box.
    void firstPainted();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QImage strip_;
    QString text_ = DefaultText();
    int frame_ = 0;
    bool painted_ = false;
    QBasicTimer timer_;
};

}  // namespace ui

#pragma once

#include <QAbstractButton>
#include <QDialog>
#include <QImage>
#include <QPointer>

namespace ui {

// Base of the borderless skinned windows: a frameless dialog (minimisable from the taskbar)
// that paints a background image at (0, 0) at its natural size, optionally drags by its top
// band (CaptionBand) and optionally takes the cut-corner outline (CutCorners) whenever it
// is resized. Subclasses paint on top of the background in their own paintEvent after
// calling this one.
class SkinnedWindow : public QDialog {
    Q_OBJECT
  public:
    enum Option {
        NoOptions = 0,
        Draggable = 1,   // the top band drags the window
        CutCorners = 2,  // the window has the cut-corner outline
    };
    Q_DECLARE_FLAGS(Options, Option)

    SkinnedWindow(QImage background, Options options, QWidget* parent = nullptr);

    const QImage& Background() const { return background_; }
    void SetBackground(QImage background);
    // The button that Enter and Return click when the focused control does not take them
    // itself (the skinned buttons are no QPushButtons, so QDialog's default button does not
    // apply to them).
    void SetDefaultButton(QAbstractButton* button) { defaultButton_ = button; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    QImage background_;
    QPointer<QAbstractButton> defaultButton_;
    Options options_;
};

}  // namespace ui

Q_DECLARE_OPERATORS_FOR_FLAGS(ui::SkinnedWindow::Options)

#pragma once

#include <QAbstractButton>
#include <QAccessible>
#include <QImage>

namespace ui {

// A button drawn from a strip of four frames of equal width: 0 normal, 1 hover, 2 pressed
// or selected, 3 disabled (not drawn by any state). It owns the hover, pressed, selectable
// and selected state and paints the frame the state picks, at its top-left corner; the rest
// of a button larger than a frame stays unpainted. Clicks are QAbstractButton::clicked.
//
// The keyboard reaches it with Tab (never with a click, which leaves the focus where it was);
// Space, Enter and Return click it, and a thin outline in the skin's highlight colour shows
// that the keyboard brought the focus (not the window's first activation, which gives it to
// the first button without anybody asking). Assistive technology sees it with its accessible name
// and the role given here (PngButtonAccessible).
class PngButton : public QAbstractButton {
    Q_OBJECT
  public:
    explicit PngButton(QWidget* parent = nullptr);

    // Takes the strip; the frame width is the image width / 4 (integer quotient). The
    // button keeps its position and is resized to one frame. Move it afterwards to place
    // it elsewhere. A null image makes the button draw nothing.
    void SetImage(QImage strip);

    // Selectable buttons (tabs, page dots) keep a selected look while selected.
    void SetSelectable(bool selectable);
    bool IsSelectable() const { return selectable_; }
    // Sets the selected look and repaints.
    void SetSelected(bool selected);
    bool IsSelected() const { return selected_; }

    // The role assistive technology announces: a push button unless said otherwise.
    void SetAccessibleRole(QAccessible::Role role) { role_ = role; }
    QAccessible::Role AccessibleRole() const { return role_; }

    bool IsHovered() const { return hover_; }
    int FrameWidth() const { return frameWidth_; }
    const QImage& Image() const { return image_; }

    // The frame the current state picks: 2 while pressed, else 1 while hovered and not
    // selected, else 2 while selectable and selected, else 0. -1 without an image.
    int CurrentFrame() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QImage image_;
    int frameWidth_ = 0;
    bool hover_ = false;
    bool selectable_ = false;
    bool selected_ = false;
    bool outlined_ = false;  // the focus came from the keyboard
    QAccessible::Role role_ = QAccessible::PushButton;
};

}  // namespace ui

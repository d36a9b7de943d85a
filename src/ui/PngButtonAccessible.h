#pragma once

#include <QAccessibleWidget>

namespace ui {

class PngButton;

// What assistive technology learns of a skinned button: the role the button was given (a
// push button, a tab, ...), its name (its tooltip when it was given no accessible name of its
// own, since the tooltip is what a sighted user reads for an image button), whether it can be and
// is selected (a tab on show, the dot of the current page), and a press action that clicks it.
class PngButtonAccessible : public QAccessibleWidget {
  public:
    explicit PngButtonAccessible(PngButton* button);

    // Makes Qt build this interface for every PngButton; later calls do nothing.
    static void Register();

    // The role is read from the button each time: an interface may be built before the
    // button is given its role.
    QAccessible::Role role() const override;
    QString text(QAccessible::Text kind) const override;
    QAccessible::State state() const override;
    QStringList actionNames() const override;
    void doAction(const QString& actionName) override;

  private:
    PngButton* Button() const;
};

}  // namespace ui

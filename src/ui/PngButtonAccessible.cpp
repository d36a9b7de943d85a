#include "ui/PngButtonAccessible.h"

#include "ui/PngButton.h"

namespace ui {
namespace {

QAccessibleInterface* Create(const QString& className, QObject* object) {
    if (className == QLatin1String(PngButton::staticMetaObject.className())) {
        return new PngButtonAccessible(static_cast<PngButton*>(object));
    }
    return nullptr;
}

}  // namespace

PngButtonAccessible::PngButtonAccessible(PngButton* button)
    : QAccessibleWidget(button, button->AccessibleRole()) {}

void PngButtonAccessible::Register() {
    static const bool registered = [] {
        QAccessible::installFactory(Create);
        return true;
    }();
    (void)registered;
}

PngButton* PngButtonAccessible::Button() const {
    return static_cast<PngButton*>(widget());
}

QAccessible::Role PngButtonAccessible::role() const {
    return Button()->AccessibleRole();
}

QString PngButtonAccessible::text(QAccessible::Text kind) const {
    const PngButton* button = Button();
    switch (kind) {
        case QAccessible::Name:
            return button->accessibleName().isEmpty() ? button->toolTip()
                                                      : button->accessibleName();
        case QAccessible::Description:
            // Without this the tooltip, already read as the name, would be read twice.
            return button->accessibleDescription();
        default:
            return QAccessibleWidget::text(kind);
    }
}

QAccessible::State PngButtonAccessible::state() const {
    QAccessible::State state = QAccessibleWidget::state();
    const PngButton* button = Button();
    state.pressed = button->isDown();
    if (button->IsSelectable()) {
        state.selectable = true;
        state.selected = button->IsSelected();
    }
    return state;
}

QStringList PngButtonAccessible::actionNames() const {
    return QStringList{pressAction()} + QAccessibleWidget::actionNames();
}

void PngButtonAccessible::doAction(const QString& actionName) {
    if (actionName == pressAction()) {
        Button()->click();
        return;
    }
    QAccessibleWidget::doAction(actionName);
}

}  // namespace ui

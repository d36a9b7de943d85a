#include "app/SearchBar.h"

#include <QKeyEvent>
#include <QShortcut>
#include <QSignalBlocker>

#include "grid/GridView.h"
#include "ui/UiFont.h"

namespace app {
namespace {

// The list label's colours, so that the band keeps its look while it holds the field.
const QColor kText(255, 255, 255);
const QColor kBackground(8, 27, 43);
const QColor kPlaceholder(140, 170, 196);
const QColor kSelection(26, 119, 188);

}  // namespace

SearchBar::SearchBar(QWidget* window, const QRect& band, ViewOnShow viewOnShow)
    : QLineEdit(window), viewOnShow_(std::move(viewOnShow)) {
    setGeometry(band);
    setFrame(false);
    setFont(ui::UiFont(12));
    setTextMargins(0, 0, 0, 0);
    setPlaceholderText(QStringLiteral("输入名称或拼音"));
    setToolTip(QStringLiteral("按名称、拼音或拼音首字母查找，Esc 返回"));
    QPalette colours = palette();
    colours.setColor(QPalette::Base, kBackground);
    colours.setColor(QPalette::Text, kText);
    colours.setColor(QPalette::PlaceholderText, kPlaceholder);
    colours.setColor(QPalette::Highlight, kSelection);
    colours.setColor(QPalette::HighlightedText, kText);
    setPalette(colours);
    hide();

    auto* find = new QShortcut(QKeySequence::Find, window);
    connect(find, &QShortcut::activated, this, &SearchBar::Open);
    connect(this, &QLineEdit::textChanged, this, &SearchBar::Follow);
}

bool SearchBar::TakeKey(const QKeyEvent& event) {
    const QString text = event.text();
    if (text.isEmpty() || !text.at(0).isPrint() || text.trimmed().isEmpty() ||
        (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        return false;
    }
    if (!Show()) {
        return false;
    }
    // The field takes the key as if it had had the focus: at its cursor, in place of its
    // selection.
    insert(text);
    return true;
}

void SearchBar::Open() {
    const bool wasOpen = isVisible();
    if (Show() && wasOpen) {
        selectAll();
    }
}

bool SearchBar::Show() {
    if (viewOnShow_() == nullptr) {
        return false;
    }
    show();
    raise();
    // Not a shortcut's focus reason: with that the line edit would select its text, and the
    // next key would replace it.
    setFocus(Qt::OtherFocusReason);
    return true;
}

bool SearchBar::Close() {
    if (isHidden()) {
        return false;
    }
    if (view_ != nullptr) {
        view_->EndSearch();
    }
    Dismiss();
    return true;
}

void SearchBar::Follow(const QString& text) {
    grid::GridView* view = viewOnShow_();
    if (view != view_) {
        if (view_ != nullptr) {
            view_->disconnect(this);
            view_->EndSearch();
        }
        view_ = view;
        if (view_ != nullptr) {
            connect(view_, &grid::GridView::searchChanged, this, [this] {
                if (view_ != nullptr && !view_->Searching()) {
                    Dismiss();
                }
            });
        }
    }
    if (view_ == nullptr) {
        return;
    }
    if (text.trimmed().isEmpty()) {
        // Cleared: the search ends and the tab is back as it was.
        Close();
        return;
    }
    view_->Search(text);
}

void SearchBar::Dismiss() {
    if (view_ != nullptr) {
        view_->disconnect(this);
        view_ = nullptr;
    }
    {
        const QSignalBlocker quiet(this);
        clear();
    }
    if (hasFocus()) {
        // Keys go back to the window, where typing starts the next search.
        parentWidget()->setFocus(Qt::OtherFocusReason);
    }
    hide();
}

void SearchBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void SearchBar::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    // A field opened and left without anything typed goes away again; an input method's
    // word list or another window taking the focus for a while does not count.
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
        text().trimmed().isEmpty() && isVisible()) {
        Dismiss();
    }
}

}  // namespace app

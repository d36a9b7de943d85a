#include "app/WindowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

#include "app/MainWindow.h"
#include "app/PageBar.h"
#include "app/SearchBar.h"
#include "grid/GridView.h"
#include "ui/PngButton.h"

namespace app {

WindowKeys::WindowKeys(MainWindow& window) : window_(window) {}

bool WindowKeys::HandleKey(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::ControlModifier && event.key() >= Qt::Key_1 && event.key() <= Qt::Key_3) {
        const MainWindow::Control tabs[] = {MainWindow::MyTabButton, MainWindow::OnlineTabButton,
                                            MainWindow::ToolsTabButton};
        const MainWindow::Control tab = tabs[event.key() - Qt::Key_1];
        window_.Button(tab)->click();
        // The user chose the tab to look at its items: the keyboard goes there too.
        grid::GridView* view = window_.ViewOnShow();
        if (view == nullptr || !view->FocusCurrent()) {
            window_.Button(tab)->setFocus(Qt::ShortcutFocusReason);
        }
        return true;
    }
    const bool back = (modifiers == Qt::NoModifier && event.key() == Qt::Key_Backspace) ||
                      (modifiers == Qt::AltModifier && event.key() == Qt::Key_Left);
    if (back) {
        const grid::GridView* online = window_.View(catalog::ViewKind::OnlineGames);
        if (window_.SelectedTab() == MainWindow::OnlineTabButton && online != nullptr &&
            !online->AtGameLevel()) {
            window_.ManageOrBack();
        }
        return true;
    }
    return false;
}

std::vector<QWidget*> WindowKeys::FocusStops() const {
    std::vector<QWidget*> stops;
    auto add = [&stops](QWidget* control) {
        if (control != nullptr && control->isVisible() && control->isEnabled()) {
            stops.push_back(control);
        }
    };
    for (MainWindow::Control id :
         {MainWindow::MyTabButton, MainWindow::OnlineTabButton, MainWindow::ToolsTabButton,
          MainWindow::DeleteAllButton, MainWindow::ManageOrBackButton}) {
        add(window_.Button(id));
    }
    // An open search field sits in the band between the tabs and the grid.
    add(&window_.Search());
    grid::GridView* view = window_.ViewOnShow();
    if (view != nullptr && view->ItemCount() > 0) {
        add(view);
    }
    const PageBar& pages = window_.Pages();
    add(pages.Button(grid::PageCommand::First));
    add(pages.Button(grid::PageCommand::Previous));
    for (int dot = 1; dot <= PageBar::kDots; ++dot) {
        add(pages.Dot(dot));
    }
    add(pages.Button(grid::PageCommand::Next));
    add(pages.Button(grid::PageCommand::Last));
    for (MainWindow::Control id :
         {MainWindow::ForumButton, MainWindow::HelpButton, MainWindow::SettingsButton,
          MainWindow::MinimiseButton, MainWindow::CloseButton}) {
        add(window_.Button(id));
    }
    return stops;
}

bool WindowKeys::MoveFocus(bool next) {
    const std::vector<QWidget*> stops = FocusStops();
    if (stops.empty()) {
        return false;
    }
    const QWidget* focus = QApplication::focusWidget();
    const auto at = std::find_if(stops.begin(), stops.end(), [focus](const QWidget* stop) {
        return focus != nullptr && (stop == focus || stop->isAncestorOf(focus));
    });
    const std::size_t count = stops.size();
    // From outside the cycle (nothing focused, the window itself) Tab starts at its
    // beginning and Shift+Tab at its end.
    std::size_t index = next ? count - 1 : 0;
    if (at != stops.end()) {
        index = static_cast<std::size_t>(at - stops.begin());
    }
    for (std::size_t step = 1; step <= count; ++step) {
        const std::size_t candidate =
            next ? (index + step) % count : (index + count - step) % count;
        if (Focus(stops[candidate], next)) {
            return true;
        }
    }
    return false;
}

bool WindowKeys::Focus(QWidget* stop, bool next) {
    if (auto* view = qobject_cast<grid::GridView*>(stop)) {
        return view->FocusCurrent();
    }
    stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

}  // namespace app

#pragma once

#include <vector>

class QKeyEvent;
class QWidget;

namespace app {

class MainWindow;

// The main window's own keys, beside the grid's: Ctrl+1, Ctrl+2 and Ctrl+3 choose the tabs
// 我的Ravik, 网络游戏 and 通用工具; Backspace and Alt+Left leave a game's entries as 返回
// does; Tab and Shift+Tab go round the window's controls in reading order: the tabs, the
// buttons of the list-label band, the grid, the paging row, the bottom button, the
// title-bar buttons.
class WindowKeys {
  public:
    explicit WindowKeys(MainWindow& window);

    // Carries out a key of the window; false when the key is not one of them.
    bool HandleKey(const QKeyEvent& event);
    // Moves the focus to the next (or previous) control that can take it now.
    bool MoveFocus(bool next);
    // The controls Tab goes round, in order, as far as they can take the focus now.
    std::vector<QWidget*> FocusStops() const;

  private:
    // Gives the focus to a control of the cycle; the grid hands it to one of its tiles.
    bool Focus(QWidget* stop, bool next);

    MainWindow& window_;
};

}  // namespace app

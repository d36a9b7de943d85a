#pragma once

#include <QObject>
#include <functional>

class QAction;
class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace app {

// The tray icon of the main window: added when the close button hides the window, kept
// until the program ends. A double click on it shows or hides the window; its menu offers
// "显示窗口" (or "隐藏窗口" while the window is visible), "关于" and "退出".
class TrayHandler : public QObject {
    Q_OBJECT
  public:
    static constexpr const char* kTip = "Ravik游戏桌面";

    explicit TrayHandler(QWidget* window);
    ~TrayHandler() override;

    // Whether the desktop has a tray to put the icon in.
    static bool Available();
    // Replaces the answer of Available(), for tests; an empty function restores it.
    static void SetAvailability(std::function<bool()> available);

    // Adds the icon; nothing happens when it is there already.
    void ShowIcon();
    void RemoveIcon();
    bool IconShown() const;
    QSystemTrayIcon* Icon() const { return icon_; }
    QMenu* Menu() const { return menu_; }
    QAction* ToggleAction() const { return toggle_; }

    // Hides a visible window (minimised counts as visible); shows a hidden one normal and in
    // front.
    void ToggleWindow();
    // Brings the window back normal and in front, wherever it was.
    void RestoreWindow();
    // Names the first menu entry after what it will do.
    void UpdateMenuTexts();

  signals:
    void aboutRequested();
    void exitRequested();

  private:
    QWidget* window_;
    QSystemTrayIcon* icon_;
    QMenu* menu_;
    QAction* toggle_;
};

}  // namespace app

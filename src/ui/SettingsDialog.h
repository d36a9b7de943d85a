#pragma once

#include "ui/SkinnedWindow.h"

class QCheckBox;
class QRadioButton;

namespace catalog {
class UserSettings;
}

namespace ui {

class PngButton;

// The settings window: start at logon, minimise the main window when a tool is run, what
// the main window's close button does (hide to the tray or quit) and how updates are taken
// (automatically or after asking). It shows the values of usercfg.dat [system] when it
// opens; OK writes all four keys (and adds or removes the autostart entry) and closes, cancel
// or Escape closes without writing anything. When OK cannot save, a box says why and the
// window stays open. A modeless top-level window centred on the main window (WindowPlacement)
// that deletes itself when closed; any number may be open at once, and the one saved last
// wins.
class SettingsDialog : public SkinnedWindow {
    Q_OBJECT
  public:
    // `settings` (usercfg.dat of the program directory whose launcher the autostart entry
    // starts) must outlive the window; the main window that owns it is the window's parent.
    explicit SettingsDialog(catalog::UserSettings& settings, QWidget* parent = nullptr);

    QCheckBox* AutostartBox() const { return autostart_; }
    QCheckBox* AutoMinBox() const { return autoMin_; }
    QRadioButton* TrayRadio() const { return tray_; }
    QRadioButton* ExitRadio() const { return exit_; }
    QRadioButton* AutoUpdateRadio() const { return autoUpdate_; }
    QRadioButton* PromptUpdateRadio() const { return promptUpdate_; }
    PngButton* OkButton() const { return ok_; }
    PngButton* CancelButton() const { return cancel_; }

  public slots:
    // What OK does: write the settings, then close; false (and the window stays) when
    // something could not be saved.
    bool Save();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void Load();

    catalog::UserSettings& settings_;
    QCheckBox* autostart_;
    QCheckBox* autoMin_;
    QRadioButton* tray_;
    QRadioButton* exit_;
    QRadioButton* autoUpdate_;
    QRadioButton* promptUpdate_;
    PngButton* ok_;
    PngButton* cancel_;
};

}  // namespace ui

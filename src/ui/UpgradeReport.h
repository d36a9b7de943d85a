#pragma once

#include <QString>

#include "ui/SkinnedWindow.h"

namespace ui {

class PngButton;

// The upgrade report shown once after the program was updated; the caller runs it modally
// with exec(). Both its buttons close it.
class UpgradeReport : public SkinnedWindow {
    Q_OBJECT
  public:
    explicit UpgradeReport(const QString& message, QWidget* parent = nullptr);

    // "程序已从<old>版本 升级到<new>版本。"; the versions are taken as they are.
    static QString UpgradeMessage(const QString& oldVersion, const QString& newVersion);

    QString Message() const { return message_; }
    PngButton* CloseButton() const { return close_; }
    PngButton* OkButton() const { return ok_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString message_;
    PngButton* close_;
    PngButton* ok_;
};

}  // namespace ui

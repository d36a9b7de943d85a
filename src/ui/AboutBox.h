#pragma once

#include <QString>

#include "ui/SkinnedWindow.h"

class QLabel;

namespace catalog {
class UserSettings;
struct LauncherConfig;
}  // namespace catalog

namespace ui {

class PngButton;

// The about box: the program's version and a link to the product web site. A modeless,
// draggable window with the cut-corner outline; each About command opens a new one, and it
// deletes itself when closed.
class AboutBox : public SkinnedWindow {
    Q_OBJECT
  public:
    // `version` is the installed version text (empty when unknown); `siteUrl` the address of
    // the product web site's page that the link shows and opens.
    AboutBox(const QString& version, const QString& siteUrl, QWidget* parent = nullptr);
    // The installed version from usercfg.dat, the site's "/desk/" page on the configured
    // product web server.
    AboutBox(const catalog::UserSettings& settings, const catalog::LauncherConfig& config,
             QWidget* parent = nullptr);

    PngButton* CloseButton() const { return close_; }
    QLabel* VersionLabel() const { return version_; }
    QLabel* LinkLabel() const { return link_; }
    QString SiteUrl() const { return siteUrl_; }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QLabel* AddLabel(const QString& text, const QRect& rect);

    QString siteUrl_;
    PngButton* close_;
    QLabel* version_;
    QLabel* link_;
};

}  // namespace ui

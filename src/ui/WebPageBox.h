#pragma once

#include <QColor>
#include <QRect>
#include <QString>
#include <QUrl>
#include <cstdint>

#include "ui/SkinImages.h"
#include "ui/SkinnedWindow.h"

class QLabel;
class QWebEngineView;

namespace ui {

class PngButton;

// Common part of the two web page boxes (SmallWebPageBox, LargeWebPageBox): a borderless,
// draggable, top-level window with the cut-corner outline, a title over its caption band, minimise
// and close buttons and an embedded web view. The page is always opened through the product web
// server's loading page, which gets the target address as its query (LoadingPageAddress). Closing
// the box by any way (close button, Escape, also while the page has the keyboard, the window
// system) emits webBoxClosed once and deletes the box. It opens centred on the main window.
// The boxes live in the web box helper program (ravik-webbox), which tells the launcher when
// one has closed (WebPageBoxHost). A page that cannot be loaded shows the web engine's own
// page in the default locale's language, Chinese in the launcher (app::ChineseLocale).
class WebPageBox : public SkinnedWindow {
    Q_OBJECT
  public:
    std::uint32_t ItemId() const { return itemId_; }
    // The page the box was asked to show, and the loading-page address it navigated to.
    QString Target() const { return target_; }
    QUrl PageUrl() const { return pageUrl_; }

    QWebEngineView* View() const { return view_; }
    QLabel* TitleLabel() const { return title_; }
    PngButton* MinimiseButton() const { return minimise_; }
    PngButton* CloseButton() const { return close_; }

    // Where a kind of box puts its parts.
    struct Layout {
        Png background;
        QSize size;
        QRect page;  // where the web view sits
        QPoint minimise;
        QPoint close;
        QColor titleColour;
    };

  signals:
    // The box is closing.
    void webBoxClosed(std::uint32_t itemId);

  protected:
    WebPageBox(const Layout& layout, const QString& title, const QString& target,
               const QString& productUrl, std::uint32_t itemId, QWidget* parent);

    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    QString target_;
    QUrl pageUrl_;
    std::uint32_t itemId_;
    bool closed_ = false;
    QLabel* title_;
    PngButton* minimise_;
    PngButton* close_;
    QWebEngineView* view_;
};

}  // namespace ui

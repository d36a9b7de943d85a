#include "ui/WebPageBox.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QShortcut>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "platform/Shell.h"
#include "ui/PngButton.h"
#include "ui/UiFont.h"
#include "ui/WebAddress.h"
#include "ui/WindowPlacement.h"

namespace ui {
namespace {

// A page that keeps quiet about its scripts' errors: the pages shown in the boxes are not
// ours, and their console chatter would only fill the user's logs.
class QuietPage : public QWebEnginePage {
  public:
    using QWebEnginePage::QWebEnginePage;

  protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
};

}  // namespace

WebPageBox::WebPageBox(const Layout& layout, const QString& title, const QString& target,
                       const QString& productUrl, std::uint32_t itemId, QWidget* parent)
    : SkinnedWindow(LoadPngResource(layout.background), Draggable | CutCorners, parent),
      target_(target),
      pageUrl_(LoadingPageAddress(productUrl, target), QUrl::TolerantMode),
      itemId_(itemId),
      title_(new QLabel(this)),
      minimise_(new PngButton(this)),
      close_(new PngButton(this)),
      view_(new QWebEngineView(this)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowIcon(AppIcon());
    WindowPlacement::SizeAndPlace(this, layout.size);
    // Boxes belong to no window; they must still go before the web engine shuts down.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);

    // The title sits on the caption band beside the logo of the background image.
    title_->setGeometry(32, 6, layout.minimise.x() - 40, 18);
    title_->setFont(UiFont(12));
    QPalette palette = title_->palette();
    palette.setColor(QPalette::WindowText, layout.titleColour);
    title_->setPalette(palette);
    title_->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (!title.isEmpty()) {
        title_->setText(title);
        setWindowTitle(title);
    }

    minimise_->SetImage(LoadPngResource(Png::MinimiseButton));
    minimise_->move(layout.minimise);
    minimise_->setToolTip(QStringLiteral("最小化"));
    close_->SetImage(LoadPngResource(Png::CloseButton));
    close_->move(layout.close);
    close_->setToolTip(QStringLiteral("关闭"));
    connect(minimise_, &PngButton::clicked, this, &WebPageBox::showMinimized);
    connect(close_, &PngButton::clicked, this, &WebPageBox::close);
    // While the page has the keyboard, the web view takes every key and a page may keep
    // Escape for itself; a shortcut of the box's window sees the key before either.
    new QShortcut(QKeySequence(Qt::Key_Escape), this, this, &WebPageBox::close, Qt::WindowShortcut);

    auto* page = new QuietPage(view_);
    page->settings()->setAttribute(QWebEngineSettings::ShowScrollBars, false);
    // Links that want a window of their own go to the default browser, web addresses only.
    connect(page, &QWebEnginePage::newWindowRequested, this,
            [](QWebEngineNewWindowRequest& request) {
                const QString address = CatalogWebAddress(request.requestedUrl().toString());
                if (!address.isEmpty()) {
                    platform::OpenUrl(address.toStdString());
                }
            });
    view_->setPage(page);
    view_->setGeometry(layout.page);
    view_->load(pageUrl_);
}

void WebPageBox::reject() {
    close();
}

void WebPageBox::closeEvent(QCloseEvent* event) {
    event->accept();
    if (closed_) {
        return;
    }
    closed_ = true;
    emit webBoxClosed(itemId_);
}

}  // namespace ui

#include <QUrl>

#include "platform/Shell.h"
#include "ui/WebAddress.h"
#include "ui/WebPages.h"

namespace ui {
namespace {

// Opens the loading page that shows `target` in the default browser, in the encoded form in
// which a web box would have requested it. The finished address passes the web-address rule
// too: a product server configured without http or https must not reach the shell either.
void OpenLoadingPage(const QString& productUrl, const QString& target) {
    const QUrl page(LoadingPageAddress(productUrl, target), QUrl::TolerantMode);
    const QString address = CatalogWebAddress(page.toString(QUrl::FullyEncoded));
    if (!address.isEmpty()) {
        platform::OpenUrl(address.toStdString());
    }
}

}  // namespace

bool OpenItemPage(const catalog::ToolRecord& item, WebPageSize, const QString&,
                  const QString& productUrl, WebBoxRegister&) {
    const QString target = CatalogWebAddress(QString::fromStdString(item.url));
    if (!target.isEmpty()) {
        OpenLoadingPage(productUrl, target);
    }
    return false;
}

void OpenIntroductionPage(const QString&, std::uint32_t itemId, const QString& productUrl,
                          const QString& downloadUrl) {
    OpenLoadingPage(productUrl, IntroductionAddress(downloadUrl, itemId));
}

}  // namespace ui

#include "platform/Shell.h"
#include "ui/WebAddress.h"
#include "ui/WebPages.h"

namespace ui {
namespace {

// Opens the loading page that shows `target` in the default browser.
void OpenLoadingPage(const QString& productUrl, const QString& target) {
    const QString address = LoadingPageBrowserAddress(productUrl, target);
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

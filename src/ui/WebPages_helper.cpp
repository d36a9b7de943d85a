#include "ui/WebAddress.h"
#include "ui/WebPageBoxHost.h"
#include "ui/WebPages.h"

namespace ui {

bool OpenItemPage(const catalog::ToolRecord& item, WebPageSize box, const QString& caption,
                  const QString& productUrl, WebBoxRegister& reg) {
    if (reg.IsOpen(item.id)) {
        return false;
    }
    const QString target = CatalogWebAddress(QString::fromStdString(item.url));
    if (target.isEmpty()) {
        return false;
    }
    reg.MarkOpen(item.id);
    WebPageBoxHost::Process().Open(box, item.id, caption, target, productUrl, &reg);
    return true;
}

void OpenIntroductionPage(const QString& title, std::uint32_t itemId, const QString& productUrl,
                          const QString& downloadUrl) {
    WebPageBoxHost::Process().Open(WebPageSize::Small, itemId, title,
                                   IntroductionAddress(downloadUrl, itemId), productUrl, nullptr);
}

}  // namespace ui

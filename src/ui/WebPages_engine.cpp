#include "ui/LargeWebPageBox.h"
#include "ui/SmallWebPageBox.h"
#include "ui/WebPages.h"

namespace ui {

bool OpenItemPage(const catalog::ToolRecord& item, WebPageSize box, const QString& caption,
                  const QString& productUrl, WebBoxRegister& reg) {
    if (box == WebPageSize::Large) {
        return LargeWebPageBox::OpenForItem(item, caption, productUrl, reg) != nullptr;
    }
    return SmallWebPageBox::OpenForItem(item, caption, productUrl, reg) != nullptr;
}

void OpenIntroductionPage(const QString& title, std::uint32_t itemId, const QString& productUrl,
                          const QString& downloadUrl) {
    SmallWebPageBox::OpenIntroduction(title, itemId, productUrl, downloadUrl);
}

}  // namespace ui

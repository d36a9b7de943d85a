#include "ui/CDiaBox.h"
#include "ui/CDialogBigBox.h"
#include "ui/WebPages.h"

namespace ui {

bool OpenItemPage(const catalog::CGameTool& item, WebPageBox box, const QString& caption,
                  const QString& productUrl, WebBoxRegister& reg) {
    if (box == WebPageBox::Large) {
        return CDialogBigBox::OpenForItem(item, caption, productUrl, reg) != nullptr;
    }
    return CDiaBox::OpenForItem(item, caption, productUrl, reg) != nullptr;
}

void OpenIntroductionPage(const QString& title, std::uint32_t itemId, const QString& productUrl,
                          const QString& downloadUrl) {
    CDiaBox::OpenIntroduction(title, itemId, productUrl, downloadUrl);
}

}  // namespace ui

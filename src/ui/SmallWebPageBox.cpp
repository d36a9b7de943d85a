#include "ui/SmallWebPageBox.h"

namespace ui {
namespace {

const WebPageBox::Layout kSmallBox{Png::SmallWebBoxBackground,
                                   QSize(575, 438),
                                   QRect(2, 30, 570, 400),
                                   QPoint(528, 8),
                                   QPoint(548, 8),
                                   QColor(255, 255, 255)};

}  // namespace

SmallWebPageBox::SmallWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                                 const QString& productUrl, WebBoxRegister* reg, QWidget* parent)
    : WebPageBox(kSmallBox, title, target, productUrl, itemId, reg, parent) {}

SmallWebPageBox* SmallWebPageBox::OpenForItem(const catalog::ToolRecord& item,
                                              const QString& caption, const QString& productUrl,
                                              WebBoxRegister& reg) {
    return OpenRegistered<SmallWebPageBox>(item, caption, productUrl, reg);
}

SmallWebPageBox* SmallWebPageBox::OpenIntroduction(const QString& title, std::uint32_t itemId,
                                                   const QString& productUrl,
                                                   const QString& downloadUrl) {
    auto* box = new SmallWebPageBox(title, IntroductionAddress(downloadUrl, itemId), itemId,
                                    productUrl, nullptr);
    box->show();
    return box;
}

}  // namespace ui

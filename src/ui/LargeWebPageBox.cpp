#include "ui/LargeWebPageBox.h"

namespace ui {
namespace {

const WebPageBox::Layout kBigBox{Png::BigWebBoxBackground, QSize(1017, 730),
                                 QRect(2, 30, 1012, 693),  QPoint(970, 8),
                                 QPoint(990, 8),           QColor(250, 250, 250)};

}  // namespace

LargeWebPageBox::LargeWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                                 const QString& productUrl, WebBoxRegister* reg, QWidget* parent)
    : WebPageBox(kBigBox, title, target, productUrl, itemId, reg, parent) {}

LargeWebPageBox* LargeWebPageBox::OpenForItem(const catalog::ToolRecord& item,
                                              const QString& caption, const QString& productUrl,
                                              WebBoxRegister& reg) {
    return OpenRegistered<LargeWebPageBox>(item, caption, productUrl, reg);
}

}  // namespace ui

#include "ui/LargeWebPageBox.h"

namespace ui {
namespace {

const WebPageBox::Layout kBigBox{Png::BigWebBoxBackground, QSize(1017, 730),
                                 QRect(2, 30, 1012, 693),  QPoint(970, 8),
                                 QPoint(990, 8),           QColor(250, 250, 250)};

}  // namespace

LargeWebPageBox::LargeWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                                 const QString& productUrl, QWidget* parent)
    : WebPageBox(kBigBox, title, target, productUrl, itemId, parent) {}

}  // namespace ui

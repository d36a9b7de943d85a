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
                                 const QString& productUrl, QWidget* parent)
    : WebPageBox(kSmallBox, title, target, productUrl, itemId, parent) {}

}  // namespace ui

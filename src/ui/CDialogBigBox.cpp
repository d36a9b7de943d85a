#include "ui/CDialogBigBox.h"

namespace ui {
namespace {

const CWebBox::Layout kBigBox{Png::BigWebBoxBackground, QSize(1017, 730), QRect(2, 30, 1012, 693),
                              QPoint(970, 8),           QPoint(990, 8),   QColor(250, 250, 250)};

}  // namespace

CDialogBigBox::CDialogBigBox(const QString& title, const QString& target, std::uint32_t itemId,
                             const QString& productUrl, WebBoxRegister* reg, QWidget* parent)
    : CWebBox(kBigBox, title, target, productUrl, itemId, reg, parent) {}

CDialogBigBox* CDialogBigBox::OpenForItem(const catalog::CGameTool& item, const QString& caption,
                                          const QString& productUrl, WebBoxRegister& reg) {
    return OpenRegistered<CDialogBigBox>(item, caption, productUrl, reg);
}

}  // namespace ui

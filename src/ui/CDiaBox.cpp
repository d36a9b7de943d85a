#include "ui/CDiaBox.h"

namespace ui {
namespace {

const CWebBox::Layout kSmallBox{Png::SmallWebBoxBackground,
                                QSize(575, 438),
                                QRect(2, 30, 570, 400),
                                QPoint(528, 8),
                                QPoint(548, 8),
                                QColor(255, 255, 255)};

}  // namespace

CDiaBox::CDiaBox(const QString& title, const QString& target, std::uint32_t itemId,
                 const QString& productUrl, WebBoxRegister* reg, QWidget* parent)
    : CWebBox(kSmallBox, title, target, productUrl, itemId, reg, parent) {}

CDiaBox* CDiaBox::OpenForItem(const catalog::CGameTool& item, const QString& caption,
                              const QString& productUrl, WebBoxRegister& reg) {
    return OpenRegistered<CDiaBox>(item, caption, productUrl, reg);
}

CDiaBox* CDiaBox::OpenIntroduction(const QString& title, std::uint32_t itemId,
                                   const QString& productUrl, const QString& downloadUrl) {
    auto* box =
        new CDiaBox(title, IntroductionAddress(downloadUrl, itemId), itemId, productUrl, nullptr);
    box->show();
    return box;
}

}  // namespace ui

#pragma once

#include "ui/WebPageBox.h"

namespace ui {

// The small web page box, 575 x 438 centred on the main window (WindowPlacement), with a
// 570 x 400 page. It shows catalog items of TYPE 188 and the introduction pages of the
// tiles' "应用说明".
class SmallWebPageBox : public WebPageBox {
    Q_OBJECT
  public:
    // A box showing `target` through the loading page of `productUrl`. `reg` null: the box
    // is not a catalog item's and stays out of the register.
    SmallWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                    const QString& productUrl, WebBoxRegister* reg, QWidget* parent = nullptr);

    // Opens and shows the box of a catalog item (its URL) with `caption`, and marks the item
    // open in `reg`. Null, and nothing shown, while the item's box is open or when its URL
    // is not a web address. The box deletes itself when closed.
    static SmallWebPageBox* OpenForItem(const catalog::ToolRecord& item, const QString& caption,
                                        const QString& productUrl,
                                        WebBoxRegister& reg = WebBoxRegister::Process());

    // Opens and shows the introduction page of item `itemId` (IntroductionAddress) titled
    // `title`; any number of these may be open, and they stay out of the register.
    static SmallWebPageBox* OpenIntroduction(const QString& title, std::uint32_t itemId,
                                             const QString& productUrl, const QString& downloadUrl);
};

}  // namespace ui

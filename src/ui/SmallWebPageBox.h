#pragma once

#include "ui/WebPageBox.h"

namespace ui {

// The small web page box, 575 x 438 centred on the main window (WindowPlacement), with a
// 570 x 400 page. It shows catalog items of TYPE 188 and the introduction pages of the
// tiles' "应用说明".
class SmallWebPageBox : public WebPageBox {
    Q_OBJECT
  public:
    // A box showing `target` through the loading page of `productUrl`. It deletes itself
    // when closed.
    SmallWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                    const QString& productUrl, QWidget* parent = nullptr);
};

}  // namespace ui

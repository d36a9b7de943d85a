#pragma once

#include "ui/WebPageBox.h"

namespace ui {

// The large web page box, 1017 x 730 centred on the main window (WindowPlacement), with a
// 1012 x 693 page. It shows catalog items of TYPE 190.
class LargeWebPageBox : public WebPageBox {
    Q_OBJECT
  public:
    // A box showing `target` through the loading page of `productUrl`; see SmallWebPageBox.
    LargeWebPageBox(const QString& title, const QString& target, std::uint32_t itemId,
                    const QString& productUrl, QWidget* parent = nullptr);
};

}  // namespace ui

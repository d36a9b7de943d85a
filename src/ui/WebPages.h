#pragma once

#include <QString>
#include <cstdint>

#include "catalog/ToolRecord.h"
#include "ui/WebBoxRegister.h"

namespace ui {

// How the launcher shows the web pages of catalog items and the tiles' introduction pages.
// Built with Qt WebEngine (WebPages_helper.cpp) they open in the launcher's own web page
// boxes, shown by its helper program ravik-webbox (WebPageBoxHost); without it
// (WebPages_browser.cpp, as on Windows) the default browser opens the address the box would
// have loaded. CMake compiles one of the two files (RAVIK_WEB_BOXES).
// Either way nothing but a web address is opened (CatalogWebAddress).

enum class WebPageSize { Small, Large };

// Opens the page of catalog item `item` (its URL) through the loading page of the product
// web server `productUrl`. With web boxes: in a box of size `box` captioned `caption`, and
// nothing new while `reg` says the item's box is open. In the browser every run opens the
// page again, as there is no box whose closing the register could learn of. Returns true
// when a window of the launcher's own opened.
bool OpenItemPage(const catalog::ToolRecord& item, WebPageSize box, const QString& caption,
                  const QString& productUrl, WebBoxRegister& reg);

// Opens the introduction page of item `itemId` on the download web server `downloadUrl`
// through the loading page of `productUrl`, in a small box titled `title` or in the browser.
// Any number of these may be open; they stay out of the register.
void OpenIntroductionPage(const QString& title, std::uint32_t itemId, const QString& productUrl,
                          const QString& downloadUrl);

}  // namespace ui

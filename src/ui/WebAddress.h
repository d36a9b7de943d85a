#pragma once

#include <QString>
#include <cstdint>

#include "catalog/GameRecord.h"
#include "catalog/ToolRecord.h"

namespace ui {

// Where the launcher's web pages lead and what they are called. The web page boxes and the
// default browser (ui/WebPages.h) build their addresses here, so both open the same page.

// The address to open for a web address that comes from a catalog: an http or https address
// as it is; an address without a scheme ("www.example.com/x", "example.com:8080/x") with
// "http://" in front; an empty text for anything else (file:, javascript:, mailto:, a drive
// letter or a path), so a catalog entry can never start a local program through a browser.
QString CatalogWebAddress(const QString& address);

// The page that shows `target`: the loading page of the product web server, `productUrl` +
// "/load/LoadingPage.htm?q=" + `target` with every "http://" (lower case, exactly) removed
// from it; nothing else is encoded.
QString LoadingPageAddress(const QString& productUrl, const QString& target);

// The loading-page address for `target` as a browser gets it: fully encoded, as a web box
// would have requested it, and empty unless it is a web address itself (a product server
// configured without http or https must not reach the shell either).
QString LoadingPageBrowserAddress(const QString& productUrl, const QString& target);

// The introduction page of item `itemId`: "/rv_intro.php?aid=<id>" on the download web
// server `downloadUrl`.
QString IntroductionAddress(const QString& downloadUrl, std::uint32_t itemId);

// The caption of a catalog item's page: the title of the game the item belongs to, "： " and
// the item's title; the item's title alone when no game in `games` has its GAMEID.
QString ItemCaption(const catalog::GameList& games, const catalog::ToolRecord& item);

}  // namespace ui

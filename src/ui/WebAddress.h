#pragma once

#include <QString>

namespace ui {

// The address to open for a web address that comes from a catalog: an http or https address
// as it is; an address without a scheme ("www.example.com/x", "example.com:8080/x") with
// "http://" in front; an empty text for anything else (file:, javascript:, mailto:, a drive
// letter or a path), so a catalog entry can never start a local program through a browser.
QString CatalogWebAddress(const QString& address);

}  // namespace ui

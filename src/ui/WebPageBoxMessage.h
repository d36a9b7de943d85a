#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>
#include <QUrl>
#include <cstdint>

#include "ui/WebPages.h"

namespace ui {

// One line of what the launcher (WebPageBoxHost) and its web box helper program
// (ravik-webbox) say to each other over the helper's standard input and output: a JSON
// object per line. The launcher numbers the boxes it asks for (`key`), since introduction
// pages may show the same item in several boxes.
//   launcher -> helper: Open (a box to show), Close (a box to close)
//   helper -> launcher: Shown (the box is on screen, with its frame and the page it loads),
//                       Closed (the box is gone, by whatever way the user closed it)
struct WebPageBoxMessage {
    enum class Kind { Invalid, Open, Close, Shown, Closed };

    Kind kind = Kind::Invalid;
    std::uint32_t key = 0;
    // Open: the box and what it shows; `anchor` is the main window's frame, which the box
    // opens centred on (null: the middle of the screen).
    WebPageSize size = WebPageSize::Small;
    std::uint32_t itemId = 0;
    QString title;
    QString target;
    QString productUrl;
    QRect anchor;
    // Shown: where the box is and the loading-page address it navigated to.
    QRect frame;
    QUrl page;

    // The line to send, with its '\n'.
    QByteArray ToLine() const;
    // The message of a received line; Kind::Invalid for anything else.
    static WebPageBoxMessage FromLine(const QByteArray& line);
};

}  // namespace ui

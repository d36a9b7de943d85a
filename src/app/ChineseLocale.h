#pragma once

#include <QStringList>

class QCoreApplication;

namespace app {

// What Qt itself shows (the standard buttons of message boxes, the file dialog, the web
// engine's menus and its pages for a page that cannot be shown) in Chinese, whatever locale
// the user's session has: the launcher is made for Chinese readers.
class ChineseLocale {
  public:
    // Makes Chinese (China) the default locale, which the web engine takes for its own pages
    // when it starts, and installs Qt's Chinese catalogs into `app`, each from the program's
    // directory when it is there (a portable copy and the Windows build carry them beside the
    // program), else from Qt's translation directory. Call before the first window. Returns
    // the file names of the catalogs every build needs that were found nowhere: their texts
    // stay English.
    static QStringList Install(QCoreApplication& app);
};

}  // namespace app

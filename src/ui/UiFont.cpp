#include "ui/UiFont.h"

#include <QStringList>

namespace ui {

QFont UiFont(int pixelSize) {
    QFont font;
#ifdef _WIN32
    // YaHei reads best at 12 pixels; SimSun and SimHei stand in on systems without it.
    font.setFamilies(
        {QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"), QStringLiteral("SimHei")});
#else
    font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback")});
#endif
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace ui

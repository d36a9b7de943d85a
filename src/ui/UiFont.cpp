#include "ui/UiFont.h"

#include <QStringList>

#include "platform/InterfaceFont.h"

namespace ui {

QFont UiFont(int pixelSize) {
    QFont font;
    QStringList families;
    for (const char* family : platform::InterfaceFontFamilies()) {
        families << QString::fromUtf8(family);
    }
    font.setFamilies(families);
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    return font;
}

}  // namespace ui

#include "ui/SkinImages.h"

namespace ui {

QString PngResourcePath(Png id) {
    return QStringLiteral(":/png/%1.png").arg(static_cast<int>(id));
}

QImage LoadPngResource(Png id) {
    QImage image;
    if (!image.load(PngResourcePath(id), "PNG")) {
        return {};
    }
    // Premultiplied pixels are what QPainter blends fastest; the conversion also detaches
    // the pixels from the resource data.
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/ravik-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace ui

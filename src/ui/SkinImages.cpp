#include "ui/SkinImages.h"

namespace ui {

QString PngResourcePath(Png id) {
    return QStringLiteral(":/png/%1.png").arg(static_cast<int>(id));
}

QImage LoadPngResource(Png id) {
    // Decoded as stored: opaque images come out as RGB32, strips with alpha as ARGB32. A
    // conversion here would, for the large backgrounds, run on Qt's worker threads for
    // nothing.
    QImage image;
    if (!image.load(PngResourcePath(id), "PNG")) {
        return {};
    }
    return image;
}

QIcon AppIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/ravik-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

}  // namespace ui

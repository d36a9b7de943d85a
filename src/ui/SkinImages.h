#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

namespace ui {

// The skin's images in the program's resources, by the numbers the windows know them by.
// Strips hold four frames of equal width side by side: normal, hover, pressed or selected,
// disabled. Sizes are width x height of the whole image.
enum class Png : int {
    MainBackground = 129,         // 310 x 528
    MinimiseButton = 130,         // 72 x 18 strip
    CloseButton = 131,            // 72 x 18 strip
    ToolsTab = 132,               // 408 x 36 strip
    OnlineTab = 133,              // 408 x 36 strip
    MyTab = 134,                  // 408 x 36 strip
    DeleteMark = 137,             // 88 x 22 strip (tile's delete mark)
    ManageButton = 138,           // 176 x 17 strip
    BackButton = 139,             // 176 x 18 strip
    TileFrame = 140,              // 176 x 44 strip (tile's icon frame)
    SmallWebBoxBackground = 148,  // 575 x 438
    SettingsBackground = 151,     // 340 x 330
    OkButton = 152,               // 240 x 20 strip
    CancelButton = 153,           // 240 x 20 strip
    SettingsButton = 154,         // 72 x 18 strip
    DownloadBar = 156,            // 294 x 23, loaded by the download dialog but not drawn
    DownloadBackground = 157,     // 360 x 200
    ForumButton = 158,            // 288 x 20 strip
    BigWebBoxBackground = 165,    // 1017 x 730
    AboutBackground = 166,        // 360 x 200 (about box and upgrade report)
    PageDot = 168,                // 96 x 24 strip
    FirstPageButton = 169,        // 96 x 24 strip
    PreviousPageButton = 170,     // 96 x 24 strip
    NextPageButton = 171,         // 96 x 24 strip
    LastPageButton = 172,         // 96 x 24 strip
    ListMarker = 174,             // 10 x 12
    DeleteAllButton = 175,        // 272 x 17 strip
    HelpButton = 178,             // 72 x 18 strip
};

// Resource path of an image, ":/png/<number>.png".
QString PngResourcePath(Png id);

// Decodes the image from the resources; a null image when it is missing or undecodable.
// The result owns its pixels; opaque images come as RGB32, images with alpha as ARGB32.
QImage LoadPngResource(Png id);

// The application's icon (window, taskbar and tray) in all its sizes.
QIcon AppIcon();

}  // namespace ui

#pragma once

#include <QPolygon>
#include <QRect>
#include <QRegion>

namespace ui {

// Outline of a skinned window: its rectangle with the corners cut off, 3 pixels at the top
// corners and 4 at the bottom ones, through (left, top+3), (left+3, top), (right-3, top),
// (right, top+3), (right, bottom-4), (right-4, bottom), (left+3, bottom), (left, bottom-4),
// where right and bottom are one past the last pixel.
QPolygon CutCornerOutline(const QRect& rect);

// The same with every corner cut by `cut` pixels (the item tiles use 2).
QPolygon CutCornerOutline(const QRect& rect, int cut);

// The window mask of the outline.
QRegion CutCornerMask(const QRect& rect);
QRegion CutCornerMask(const QRect& rect, int cut);

}  // namespace ui

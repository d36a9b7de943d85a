#include "ui/CutCorners.h"

namespace ui {
namespace {

// Cuts of the four corners as (horizontal, vertical) pixel counts.
struct Cuts {
    QPoint topLeft, topRight, bottomRight, bottomLeft;
};

QPolygon Outline(const QRect& rect, const Cuts& c) {
    const int left = rect.left();
    const int top = rect.top();
    const int right = rect.left() + rect.width();
    const int bottom = rect.top() + rect.height();
    return QPolygon({
        {left, top + c.topLeft.y()},
        {left + c.topLeft.x(), top},
        {right - c.topRight.x(), top},
        {right, top + c.topRight.y()},
        {right, bottom - c.bottomRight.y()},
        {right - c.bottomRight.x(), bottom},
        {left + c.bottomLeft.x(), bottom},
        {left, bottom - c.bottomLeft.y()},
    });
}

}  // namespace

QPolygon CutCornerOutline(const QRect& rect) {
    return Outline(rect, {{3, 3}, {3, 3}, {4, 4}, {3, 4}});
}

QPolygon CutCornerOutline(const QRect& rect, int cut) {
    return Outline(rect, {{cut, cut}, {cut, cut}, {cut, cut}, {cut, cut}});
}

QRegion CutCornerMask(const QRect& rect) {
    return QRegion(CutCornerOutline(rect));
}

QRegion CutCornerMask(const QRect& rect, int cut) {
    return QRegion(CutCornerOutline(rect, cut));
}

}  // namespace ui

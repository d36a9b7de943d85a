#pragma once

#include <QFont>

namespace ui {

// The font of tile titles, labels and dialog texts, `pixelSize` pixels high, normal weight.
// It prefers a face with Chinese glyphs that the platform ships: "Microsoft YaHei" or
// "SimSun" (then "SimHei") on Windows, "WenQuanYi Micro Hei" (then other CJK faces) elsewhere.
QFont UiFont(int pixelSize);

}  // namespace ui

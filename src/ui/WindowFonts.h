#pragma once

#include <QFont>

// The window's fonts. The program asks for the Windows fonts it was drawn
// with by name and falls back to the CJK fonts a Linux desktop has, so the
// Chinese texts always render.
namespace WindowFonts {

// 宋体 (SimSun), the font of the window and its dialogs.
QFont songTi(qreal pointSize);
// 宋体 at a size in pixels.
QFont songTiPixels(int pixelSize);
// 微软雅黑 (Microsoft YaHei), the font of the chart's labels.
QFont yaHei(qreal pointSize, bool bold = false);

} // namespace WindowFonts

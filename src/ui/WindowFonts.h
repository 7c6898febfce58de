#pragma once

#include <QFont>

// The window's fonts (the charts' are in chart/ChartFonts.h). The program asks
// for the Windows fonts it was drawn with by name and falls back to the CJK
// fonts a Linux desktop has, so the Chinese texts always render.
namespace WindowFonts {

// 宋体 (SimSun), the font of the window and its dialogs.
QFont songTi(qreal pointSize);
// 宋体 at a size in pixels.
QFont songTiPixels(int pixelSize);

} // namespace WindowFonts

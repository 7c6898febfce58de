#pragma once

#include <QFont>

// The fonts the charts are drawn with, in the window and in pictures alike.
// The program asks for the Windows font it was drawn with by name and falls
// back to the CJK fonts a Linux desktop has, so the Chinese texts always render.
namespace ChartFonts {

// 微软雅黑 (Microsoft YaHei), the font of the charts' labels, titles and legends.
QFont yaHei(qreal pointSize, bool bold = false);

} // namespace ChartFonts

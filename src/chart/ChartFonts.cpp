#include "chart/ChartFonts.h"

#include <QStringList>

namespace ChartFonts {

QFont yaHei(qreal pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
                      QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}

} // namespace ChartFonts

#include "ui/WindowFonts.h"

#include <QStringList>

namespace {

QStringList songTiFamilies()
{
    return {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("Noto Serif CJK SC"),
            QStringLiteral("Noto Sans CJK SC"), QStringLiteral("WenQuanYi Zen Hei")};
}

} // namespace

namespace WindowFonts {

QFont songTi(qreal pointSize)
{
    QFont font;
    font.setFamilies(songTiFamilies());
    font.setPointSizeF(pointSize);
    return font;
}

QFont songTiPixels(int pixelSize)
{
    QFont font;
    font.setFamilies(songTiFamilies());
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace WindowFonts

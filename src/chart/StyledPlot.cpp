#include "chart/StyledPlot.h"

namespace {

const QColor GridColour(255, 128, 128);

} // namespace

StyledPlot::StyledPlot(QWidget *parent) : QCustomPlot(parent)
{
    setBackground(Qt::white);
    setInteractions({}); // no zooming, no panning
    legend->setVisible(false);
    const QPen grid(GridColour, 0, Qt::DotLine);
    xAxis->grid()->setPen(grid);
    yAxis->grid()->setPen(grid);
}

const QList<QColor> &StyledPlot::seriesColours()
{
    static const QList<QColor> colours = {
        QColor(0, 128, 255),   QColor(255, 64, 64), QColor(46, 184, 46),   QColor(255, 191, 0),
        QColor(153, 102, 255), QColor(0, 191, 191), QColor(255, 128, 192), QColor(128, 128, 0),
        QColor(0, 64, 160),    QColor(192, 96, 0),  QColor(96, 160, 96),   QColor(128, 128, 128),
    };
    return colours;
}

void StyledPlot::styleAxis(QCPAxis *axis, const QString &title, int decimals)
{
    axis->setLabel(title);
    axis->setNumberFormat(QStringLiteral("f"));
    axis->setNumberPrecision(decimals);
}

void StyledPlot::prepareOffScreen(QSize size)
{
    setAttribute(Qt::WA_DontShowOnScreen);
    // A scaled screen (a high-density display, QT_SCALE_FACTOR) must not
    // multiply the size asked for.
    setBufferDevicePixelRatio(1);
    resize(size);
}

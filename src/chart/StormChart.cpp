#include "chart/StormChart.h"

#include "chart/WindowFonts.h"

#include <QLabel>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor IntensityColour(255, 128, 0);
const QColor OverallColour(0, 128, 255);
constexpr int RightAxisMarginPixels = 10;
constexpr double HitPixels = 4;
// From here on a tick label in fixed notation would be wider than the axis.
constexpr double LargeTickValue = 1e7;
const QString LabelToolTip = QStringLiteral("按住拖动调整位置");

// `factor` times the peak, or the largest finite number when that overflows.
double scaledMaximum(double factor, double peak)
{
    const double maximum = factor * peak;
    return std::isfinite(maximum) ? maximum : std::numeric_limits<double>::max();
}

} // namespace

SeriesPeaks SeriesPeaksOf(const RainPoints &points)
{
    SeriesPeaks peaks;
    for (const TRainPoint &point : points) {
        if (std::isfinite(point.Intensity))
            peaks.intensity = std::max(peaks.intensity, point.Intensity);
        if (std::isfinite(point.Overall))
            peaks.overall = std::max(peaks.overall, point.Overall);
    }
    return peaks;
}

AxisMaxima ScaledAxisMaxima(const SeriesPeaks &peaks, bool barsShown, bool lineShown, AxisMaxima current)
{
    if (barsShown && lineShown) {
        current.left = scaledMaximum(2, peaks.intensity);
        current.right = scaledMaximum(2, peaks.overall);
    } else if (barsShown) {
        current.right = scaledMaximum(1.1, peaks.overall);
    } else if (lineShown) {
        current.left = scaledMaximum(1.1, peaks.intensity);
    }
    return current;
}

PaletteBars::PaletteBars(QCPAxis *keyAxis, QCPAxis *valueAxis) : QCPBars(keyAxis, valueAxis)
{
    setPen(QPen(OverallColour.darker(150)));
    setBrush(OverallColour);
}

void PaletteBars::drawBar(QCPPainter *painter, const QRectF &rect, int index) const
{
    const QList<QColor> &colours = StyledPlot::seriesColours();
    const QColor colour = colours[index % colours.size()];
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    painter->drawRect(rect);
    if (rect.width() >= 4 && rect.height() >= 4) {
        // Embossed: light upper and left edges, dark lower and right edges.
        painter->setPen(QPen(colour.lighter(150), 1));
        painter->drawLine(rect.topLeft(), rect.topRight());
        painter->drawLine(rect.topLeft(), rect.bottomLeft());
        painter->setPen(QPen(colour.darker(160), 1));
        painter->drawLine(rect.bottomLeft(), rect.bottomRight());
        painter->drawLine(rect.topRight(), rect.bottomRight());
    }
    if (index == m_hovered) {
        painter->setBrush(Qt::NoBrush);
        painter->setPen(QPen(Qt::black, 2));
        painter->drawRect(rect.adjusted(-1, -1, 1, 1));
    }
}

void PaletteBars::draw(QCPPainter *painter)
{
    if (!mKeyAxis || !mValueAxis || mDataContainer->isEmpty())
        return;
    QCPBarsDataContainer::const_iterator begin;
    QCPBarsDataContainer::const_iterator end;
    getVisibleDataBounds(begin, end);
    if (begin == end)
        return;
    applyDefaultAntialiasingHint(painter);

    const auto first = mDataContainer->constBegin();
    int pendingColumn = std::numeric_limits<int>::min();
    QRectF pendingRect;
    int pendingIndex = -1;
    double pendingLength = -1;
    QRectF hoveredRect;
    for (auto it = begin; it != end; ++it) {
        const QRectF rect = getBarRect(it->key, it->value);
        const int index = int(it - first);
        if (index == m_hovered)
            hoveredRect = rect;
        const int column = int(std::floor(rect.center().x()));
        const double length = std::fabs(it->value);
        if (column != pendingColumn) {
            if (pendingIndex >= 0)
                drawBar(painter, pendingRect, pendingIndex);
            pendingColumn = column;
            pendingLength = -1;
        }
        if (length > pendingLength) {
            pendingRect = rect;
            pendingIndex = index;
            pendingLength = length;
        }
    }
    if (pendingIndex >= 0)
        drawBar(painter, pendingRect, pendingIndex);
    if (!hoveredRect.isNull() && m_hovered != pendingIndex)
        drawBar(painter, hoveredRect, m_hovered);
}

StormChart::StormChart(QWidget *parent) : StyledPlot(parent)
{
    styleAxis(xAxis, QStringLiteral("降雨历时(min)"), 0);
    styleAxis(yAxis, QStringLiteral("降雨强度(mm/min)"), 3);
    styleAxis(yAxis2, QStringLiteral("降雨总量(mm)"), 3);
    yAxis2->setVisible(true);
    yAxis2->grid()->setVisible(false);
    yAxis2->setRangeReversed(true);

    m_overall = new PaletteBars(xAxis, yAxis2);
    m_overall->setName(QStringLiteral("降雨总量"));
    m_overall->setWidthType(QCPBars::wtPlotCoords);

    m_intensity = addGraph(xAxis, yAxis);
    m_intensity->setName(QStringLiteral("降雨强度"));
    m_intensity->setPen(QPen(IntensityColour, 2));
    m_intensity->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssSquare, IntensityColour.darker(130), IntensityColour, 5));

    // The hovered point of the line, drawn larger over it.
    m_intensityHighlight = addGraph(xAxis, yAxis);
    m_intensityHighlight->setLineStyle(QCPGraph::lsNone);
    m_intensityHighlight->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssSquare, QPen(Qt::black, 1.5), QBrush(Qt::yellow), 9));
    m_intensityHighlight->setSelectable(QCP::stNone);

    setMouseTracking(true);
    connect(this, &QCustomPlot::beforeReplot, this, &StormChart::applyAxisRanges);
    connect(this, &QCustomPlot::afterLayout, this, [this] {
        m_laidOut = true;
        elideValueLabels();
    });
    applyAxisRanges();

    const char *labelNames[ValueLabelCount] = {"Label_P",
                                               "Label_T",
                                               "Label_r",
                                               "Label_Overall_Rainfall",
                                               "Label_Average_Rainfall_Intensity",
                                               "Label_Formula_Depth"};
    for (int i = 0; i < ValueLabelCount; ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(labelNames[i]));
        label->setFont(WindowFonts::yaHei(9, true));
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
        label->setToolTip(LabelToolTip);
        label->move(valueLabelPlace(i));
        label->hide();
        m_labels[i] = label;
    }
}

QPoint StormChart::valueLabelPlace(int index)
{
    static const int tops[ValueLabelCount] = {95, 118, 140, 162, 184, 206};
    return QPoint(99, tops[index]);
}

void StormChart::setValueLabelText(int index, const QString &text)
{
    m_labelTexts[index] = text;
    elideValueLabels();
}

void StormChart::elideValueLabels()
{
    for (int i = 0; i < ValueLabelCount; ++i) {
        QLabel *label = m_labels[i];
        const QString &text = m_labelTexts[i];
        // As far as the plot's right edge from where the label lies, once the
        // plot has been laid out.
        const int width = std::max(axisRect()->right() - label->x() - 2, 40);
        const QString shown = m_laidOut ? label->fontMetrics().elidedText(text, Qt::ElideRight, width) : text;
        if (shown == label->text())
            continue;
        label->setText(shown);
        label->setToolTip(shown == text ? LabelToolTip : text + u'\n' + LabelToolTip);
        label->adjustSize();
    }
}

void StormChart::scaleAxes(const SeriesPeaks &peaks)
{
    const AxisMaxima maxima = ScaledAxisMaxima(peaks, m_overall->visible(), m_intensity->visible(),
                                               {m_leftMaximum, m_rightMaximum});
    setLeftMaximum(maxima.left);
    setRightMaximum(maxima.right);
}

void StormChart::setPoints(const RainPoints &points)
{
    QVector<QCPGraphData> line;
    QVector<QCPBarsData> bars;
    line.reserve(qsizetype(points.size()));
    bars.reserve(qsizetype(points.size()));
    for (const TRainPoint &point : points) {
        line.append(QCPGraphData(point.Time, point.Intensity));
        bars.append(QCPBarsData(point.Time, point.Overall));
    }
    m_intensity->data()->set(line, true);
    m_overall->data()->set(bars, true);
    m_intensityHovered = -1;
    m_overall->setHoveredIndex(-1);
    m_intensityHighlight->data()->clear();

    // Bars take 30 % of the space between points; the bottom axis spans the points.
    const double spacing = points.size() > 1 ? points[1].Time - points[0].Time : 1.0;
    m_overall->setWidth(0.3 * spacing);
    if (!points.empty())
        xAxis->setRange(points.front().Time - spacing / 2, points.back().Time + spacing / 2);
}

int StormChart::pointCount() const
{
    return m_intensity->dataCount();
}

void StormChart::setLeftMaximum(double maximum)
{
    m_leftMaximum = maximum;
    applyAxisRanges();
}

void StormChart::setRightMaximum(double maximum)
{
    m_rightMaximum = maximum;
    applyAxisRanges();
}

void StormChart::applyAxisRanges()
{
    // The chart draws no range that reaches QCPRange::maxRange (it would keep
    // the old range silently): a larger maximum is drawn just below it.
    const double drawable = std::nextafter(QCPRange::maxRange, 0.0);
    yAxis->setRange(0, std::min(m_leftMaximum, drawable));
    const double length = axisRect()->height();
    const double stretch =
        length > 2 * RightAxisMarginPixels ? length / (length - RightAxisMarginPixels) : 1.0;
    yAxis2->setRange(0, std::min(m_rightMaximum * stretch, drawable));
    // Fixed notation with three decimals for ordinary storms; large numbers
    // in powers of ten, so that no tick label runs across the chart.
    for (QCPAxis *axis : {yAxis, yAxis2}) {
        const bool large = axis->range().upper >= LargeTickValue;
        axis->setNumberFormat(large ? QStringLiteral("gb") : QStringLiteral("f"));
        axis->setNumberPrecision(3);
    }
}

int StormChart::hoveredIndex(const QCPAbstractPlottable *series) const
{
    if (series == m_intensity)
        return m_intensityHovered;
    if (series == m_overall)
        return m_overall->hoveredIndex();
    return -1;
}

void StormChart::setHoveredIndex(QCPAbstractPlottable *series, int index)
{
    if (index >= pointCount())
        index = -1;
    if (series == m_intensity) {
        m_intensityHovered = index;
        m_intensityHighlight->data()->clear();
        if (index >= 0) {
            const auto point = m_intensity->data()->at(index);
            m_intensityHighlight->addData(point->key, point->value);
        }
        m_intensityHighlight->setVisible(m_intensity->visible());
    } else if (series == m_overall) {
        m_overall->setHoveredIndex(index);
    }
}

int StormChart::lineIndexAt(const QPointF &pos) const
{
    if (!m_intensity->visible() || m_intensity->dataCount() == 0)
        return -1;
    const double low = xAxis->pixelToCoord(pos.x() - HitPixels);
    const double high = xAxis->pixelToCoord(pos.x() + HitPixels);
    const auto data = m_intensity->data();
    int nearest = -1;
    double nearestDistance = HitPixels * HitPixels * 2;
    for (auto it = data->findBegin(std::min(low, high), false);
         it != data->findEnd(std::max(low, high), false); ++it) {
        const double dx = xAxis->coordToPixel(it->key) - pos.x();
        const double dy = yAxis->coordToPixel(it->value) - pos.y();
        if (std::fabs(dx) > HitPixels || std::fabs(dy) > HitPixels)
            continue;
        const double distance = dx * dx + dy * dy;
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = int(it - data->constBegin());
        }
    }
    return nearest;
}

int StormChart::barIndexAt(const QPointF &pos) const
{
    if (!m_overall->visible() || m_overall->dataCount() == 0)
        return -1;
    // A bar narrower than the hit distance still answers within it.
    const double halfWidth = m_overall->width() / 2;
    const double slack = std::fabs(xAxis->pixelToCoord(pos.x() + 2) - xAxis->pixelToCoord(pos.x()));
    const double key = xAxis->pixelToCoord(pos.x());
    const auto data = m_overall->data();
    int nearest = -1;
    double nearestDistance = std::numeric_limits<double>::max();
    const double reach = halfWidth + slack;
    for (auto it = data->findBegin(key - reach, false); it != data->findEnd(key + reach, false); ++it) {
        const double distance = std::fabs(it->key - key);
        if (distance > reach)
            continue;
        const double top = yAxis2->coordToPixel(0);
        const double bottom = yAxis2->coordToPixel(it->value);
        if (pos.y() < std::min(top, bottom) - 1 || pos.y() > std::max(top, bottom) + 1)
            continue;
        if (distance < nearestDistance) {
            nearestDistance = distance;
            nearest = int(it - data->constBegin());
        }
    }
    return nearest;
}

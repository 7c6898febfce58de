#include "chart/StormChart.h"

#include "chart/ChartFonts.h"

#include <QEvent>
#include <QLabel>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QColor IntensityColour(255, 128, 0);
constexpr int RightAxisMarginPixels = 10;
constexpr double HitPixels = 4;
// From here on a tick label in fixed notation would be wider than the axis.
constexpr double LargeTickValue = 1e7;
const QString LabelToolTip = QStringLiteral("按住拖动调整位置");
// The room a time label takes on the axis, pixels: "1440" with space either side.
constexpr int TimeLabelPitch = 56;
// The pixels kept clear around a point of the line (its square is 5 wide)
// and around a bar when labels are placed.
constexpr int InkMargin = 4;
// Where the block must cover something, a bar's pixel costs less than the
// line's: the line, its peak above all, is what the chart is read for.
constexpr long long InkWeights[2] = {1, 16};
// The distance the label block keeps from the axes, pixels.
constexpr int LabelInset = 4;
// The steps of candidate places of the label block, pixels.
constexpr int PlaceGrid = 4;

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
    for (const RainPoint &point : points) {
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

double StormTimeTickStep(double end, int maxTicks)
{
    static const double steps[] = {1, 2, 5, 10, 15, 20, 30, 60, 120, 180, 240, 360, 720};
    maxTicks = std::max(maxTicks, 2);
    if (!(end > 0) || !std::isfinite(end))
        return 1;
    auto fits = [&](double step) { return std::ceil(end / step) <= maxTicks; };
    auto divides = [&](double step) { return std::fmod(end, step) == 0; };
    double firstFit = 0;
    for (double step : steps) {
        if (!fits(step))
            continue;
        if (firstFit == 0)
            firstFit = step;
        if (divides(step))
            return step;
    }
    if (firstFit > 0)
        return firstFit;
    // Longer than the list: whole days.
    const double days = std::ceil(end / 1440 / maxTicks);
    return std::isfinite(days) ? days * 1440 : end;
}

QVector<double> StormTimeTicks(double end, double step)
{
    QVector<double> ticks;
    if (!(end > 0) || !(step > 0) || end / step > 1e6)
        return ticks;
    for (double k = 0; k * step < end; ++k)
        ticks.append(k * step);
    if (!ticks.isEmpty() && end - ticks.last() < step / 2 && ticks.size() > 1)
        ticks.removeLast();
    ticks.append(end);
    return ticks;
}

QPoint LabelBlockPlace(QSize size, QRect area, const std::vector<InkColumn> &ink, QPoint preferred)
{
    if (size.width() > area.width() || size.height() > area.height())
        return area.topLeft();
    const int maxX = area.right() + 1 - size.width();
    const int maxY = area.bottom() + 1 - size.height();
    // Ink under a place: the covered rows summed over its columns.
    auto coverOf = [&](int x, int y) {
        long long cover = 0;
        const int bottom = y + size.height();
        for (int column = x; column < x + size.width(); ++column) {
            const size_t i = size_t(column - area.left());
            if (i >= ink.size())
                break;
            for (size_t slot = 0; slot < ink[i].spans.size(); ++slot) {
                const auto &[top, end] = ink[i].spans[slot];
                const int low = std::max(top, y);
                const int high = std::min(end, bottom);
                if (high > low)
                    cover += (high - low) * InkWeights[slot];
            }
        }
        return cover;
    };
    preferred.setX(std::clamp(preferred.x(), area.left(), maxX));
    preferred.setY(std::clamp(preferred.y(), area.top(), maxY));
    QPoint best = preferred;
    long long bestCover = coverOf(best.x(), best.y());
    long long bestDistance = 0;
    if (bestCover == 0)
        return best;
    auto consider = [&](int x, int y) {
        const long long dx = x - preferred.x();
        const long long dy = y - preferred.y();
        const long long distance = dx * dx + dy * dy;
        if (bestCover == 0 && distance >= bestDistance)
            return;
        const long long cover = coverOf(x, y);
        if (cover < bestCover || (cover == bestCover && distance < bestDistance)) {
            best = QPoint(x, y);
            bestCover = cover;
            bestDistance = distance;
        }
    };
    for (int y = area.top();; y = std::min(y + PlaceGrid, maxY)) {
        for (int x = area.left();; x = std::min(x + PlaceGrid, maxX)) {
            consider(x, y);
            if (x == maxX)
                break;
        }
        if (y == maxY)
            break;
    }
    return best;
}

namespace {

// Ticks that divide the storm: the time axis is labelled at steps of whole
// minutes that divide the storm's length, and at its end.
class StormTimeTicker : public QCPAxisTicker
{
public:
    explicit StormTimeTicker(const StormChart *chart) : m_chart(chart) {}

protected:
    int maxTicks() const { return std::max(2, (m_chart->width() - 130) / TimeLabelPitch); }
    double getTickStep(const QCPRange &range) override
    {
        return m_chart->end() > 0 ? StormTimeTickStep(m_chart->end(), maxTicks())
                                  : QCPAxisTicker::getTickStep(range);
    }
    QVector<double> createTickVector(double tickStep, const QCPRange &range) override
    {
        if (!(m_chart->end() > 0))
            return QCPAxisTicker::createTickVector(tickStep, range);
        QVector<double> ticks = StormTimeTicks(m_chart->end(), tickStep);
        ticks.removeIf([&](double tick) { return !range.contains(tick); });
        return ticks;
    }
    QString getTickLabel(double tick, const QLocale &locale, QChar formatChar, int precision) override
    {
        // A storm that ends between whole minutes shows its end as it is.
        if (tick != std::round(tick))
            return locale.toString(tick, 'g', 6);
        return QCPAxisTicker::getTickLabel(tick, locale, formatChar, precision);
    }

private:
    const StormChart *m_chart;
};

// The hovered bar's frame as a layerable of the highlight layer.
class HoveredBarFrame : public QCPLayerable
{
public:
    HoveredBarFrame(QCustomPlot *plot, const PaletteBars *bars, QCPLayer *layer)
        : QCPLayerable(plot), m_bars(bars)
    {
        setLayer(layer);
    }

protected:
    QRect clipRect() const override { return m_bars->keyAxis()->axisRect()->rect(); }
    void applyDefaultAntialiasingHint(QCPPainter *painter) const override
    {
        applyAntialiasingHint(painter, mAntialiased, QCP::aePlottables);
    }
    void draw(QCPPainter *painter) override { m_bars->drawHoveredFrame(painter); }

private:
    const PaletteBars *m_bars;
};

} // namespace

StormChart::StormChart(QWidget *parent) : StyledPlot(parent)
{
    styleAxis(xAxis, QStringLiteral("降雨历时(min)"), 0);
    xAxis->setTicker(QSharedPointer<QCPAxisTicker>(new StormTimeTicker(this)));
    styleAxis(yAxis, QStringLiteral("降雨强度(mm/min)"), 3);
    styleAxis(yAxis2, QStringLiteral("降雨总量(mm)"), 3);
    yAxis2->setVisible(true);
    yAxis2->grid()->setVisible(false);
    yAxis2->setRangeReversed(true);

    m_overall = new PaletteBars(xAxis, yAxis2);
    m_overall->setName(QStringLiteral("降雨总量"));
    m_overall->setWidthType(QCPBars::wtPlotCoords);

    m_intensity = new IntensityLine(xAxis, yAxis);
    m_intensity->setName(QStringLiteral("降雨强度"));
    m_intensity->setPen(QPen(IntensityColour, 2));
    m_intensity->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssSquare, IntensityColour.darker(130), IntensityColour, 5));

    // The highlights lie on a layer with a buffer of its own, just above the
    // series, so that moving them leaves the series' drawing as it is.
    addLayer(QStringLiteral("highlights"), layer(QStringLiteral("main")), QCustomPlot::limAbove);
    m_highlightLayer = layer(QStringLiteral("highlights"));
    m_highlightLayer->setMode(QCPLayer::lmBuffered);
    new HoveredBarFrame(this, m_overall, m_highlightLayer);

    // The hovered point of the line, drawn larger over it.
    m_intensityHighlight = addGraph(xAxis, yAxis);
    m_intensityHighlight->setLayer(m_highlightLayer);
    m_intensityHighlight->setLineStyle(QCPGraph::lsNone);
    m_intensityHighlight->setScatterStyle(
        QCPScatterStyle(QCPScatterStyle::ssSquare, QPen(Qt::black, 1.5), QBrush(Qt::yellow), 9));
    m_intensityHighlight->setSelectable(QCP::stNone);

    setMouseTracking(true);
    connect(this, &QCustomPlot::beforeReplot, this, &StormChart::applyAxisRanges);
    connect(this, &QCustomPlot::afterLayout, this, [this] {
        m_laidOut = true;
        // A smaller plot brings the labels the user moved back inside it.
        for (int i = 0; i < ValueLabelCount; ++i) {
            if (m_labelMoved[i])
                keepValueLabelInside(i);
        }
        placeValueLabels();
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
        label->setFont(ChartFonts::yaHei(9, true));
        label->setAutoFillBackground(true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::Window, Qt::white);
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
        label->setToolTip(LabelToolTip);
        label->move(valueLabelPlace(i));
        label->hide();
        label->installEventFilter(this); // shown or hidden, the block is placed anew
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

void StormChart::moveValueLabel(int index, QPoint place)
{
    m_labelMoved[index] = true;
    m_labels[index]->move(place);
}

void StormChart::keepValueLabelInside(int index)
{
    QLabel *label = m_labels[index];
    // The plot area once laid out; the whole chart before.
    const QRect area = m_laidOut ? axisRect()->rect() : rect();
    // Its whole text fits where it is let go, so that it does not come back cut short.
    const QSize size(label->fontMetrics().horizontalAdvance(m_labelTexts[index]) +
                         (label->width() - label->contentsRect().width()),
                     label->height());
    // Short of the right edge by the eliding's two pixels and a little slack.
    const QPoint place(
        std::clamp(label->x(), area.left(), std::max(area.left(), area.right() - 6 - size.width())),
        std::clamp(label->y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height())));
    if (place != label->pos())
        label->move(place);
    elideValueLabels();
}

bool StormChart::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent) && m_laidOut)
        placeValueLabels();
    return StyledPlot::eventFilter(watched, event);
}

std::vector<InkColumn> StormChart::inkColumns(const QRect &area) const
{
    std::vector<InkColumn> ink(size_t(std::max(area.width(), 0)));
    // A value far off the axes lies far off the plot too: its pixel is
    // brought within reach of an int before it is rounded.
    const auto within = [](double pixel) { return std::isnan(pixel) ? 0.0 : std::clamp(pixel, -1e6, 1e6); };
    auto columnOf = [&](double pixel) { return int(std::floor(within(pixel))) - area.left(); };
    auto spread = [&](int column, int slot, double top, double bottom) {
        if (column < 0 || column >= int(ink.size()) || !(top <= bottom))
            return;
        auto &[low, high] = ink[size_t(column)].spans[size_t(slot)];
        const int from = int(std::floor(within(top))) - InkMargin;
        const int to = int(std::ceil(within(bottom))) + InkMargin;
        if (low >= high) {
            low = from;
            high = to;
        } else {
            low = std::min(low, from);
            high = std::max(high, to);
        }
    };
    const RainPoints &rows = m_overall->rows();
    if (m_overall->visible() && !rows.empty()) {
        const double top = yAxis2->coordToPixel(0);
        const double halfWidth = m_overall->width() / 2;
        for (const RainPoint &row : rows) {
            if (!std::isfinite(row.Overall))
                continue;
            const double bottom = yAxis2->coordToPixel(row.Overall);
            const int first = columnOf(xAxis->coordToPixel(row.Time - halfWidth)) - InkMargin;
            const int last = columnOf(xAxis->coordToPixel(row.Time + halfWidth)) + InkMargin;
            for (int column = std::max(first, 0); column <= std::min(last, int(ink.size()) - 1); ++column)
                spread(column, 0, std::min(top, bottom), std::max(top, bottom));
        }
    }
    if (m_intensity->visible() && !rows.empty()) {
        // The line between successive points crosses every column between them.
        double lastX = 0, lastY = 0;
        bool have = false;
        for (const RainPoint &row : rows) {
            if (!std::isfinite(row.Intensity)) {
                have = false;
                continue;
            }
            const double x = xAxis->coordToPixel(row.Time);
            const double y = yAxis->coordToPixel(row.Intensity);
            const int from = columnOf(have ? std::min(lastX, x) : x) - InkMargin;
            const int to = columnOf(have ? std::max(lastX, x) : x) + InkMargin;
            const double top = have ? std::min(lastY, y) : y;
            const double bottom = have ? std::max(lastY, y) : y;
            for (int column = std::max(from, 0); column <= std::min(to, int(ink.size()) - 1); ++column)
                spread(column, 1, top, bottom);
            lastX = x;
            lastY = y;
            have = true;
        }
    }
    return ink;
}

void StormChart::placeValueLabels()
{
    if (!m_laidOut)
        return;
    QList<QLabel *> block;
    QSize size(0, 0);
    for (int i = 0; i < ValueLabelCount; ++i) {
        QLabel *label = m_labels[i];
        if (m_labelMoved[i] || label->isHidden())
            continue;
        const QSize whole(label->fontMetrics().horizontalAdvance(m_labelTexts[i]) +
                              (label->width() - label->contentsRect().width()),
                          label->height());
        // Stacked as the layout stacks the first labels.
        const int top = valueLabelPlace(int(block.size())).y() - valueLabelPlace(0).y();
        size = QSize(std::max(size.width(), whole.width()), std::max(size.height(), top + whole.height()));
        block.append(label);
    }
    if (block.isEmpty())
        return;
    // A few pixels off the axes, so that no label touches them.
    const QRect area = axisRect()->rect().adjusted(LabelInset, LabelInset, -LabelInset, -LabelInset);
    const QPoint place = LabelBlockPlace(size, area, inkColumns(area), valueLabelPlace(0));
    for (int k = 0; k < block.size(); ++k)
        block[k]->move(place + QPoint(0, valueLabelPlace(k).y() - valueLabelPlace(0).y()));
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

namespace {

// A series' data made in place from the rows, so that a storm of millions of
// minutes is not held a second time on its way into the chart.
template <class Data> class RowData : public QCPDataContainer<Data>
{
public:
    template <class Make> RowData(const RainPoints &points, Make make)
    {
        this->mData.reserve(qsizetype(points.size()));
        for (const RainPoint &point : points)
            this->mData.append(make(point));
    }
};

} // namespace

void StormChart::setPoints(const RainPoints &points, double end)
{
    setPoints(std::make_shared<const RainPoints>(points), end);
}

void StormChart::setPoints(std::shared_ptr<const RainPoints> shared, double end)
{
    m_end = end;
    // The old data go first, so that two storms' data are never held at once.
    m_intensity->data()->clear();
    m_intensity->data()->squeeze();
    m_overall->setRows(nullptr);
    const RainPoints &points = *shared;
    m_intensity->setData(QSharedPointer<QCPGraphDataContainer>(new RowData<QCPGraphData>(
        points, [](const RainPoint &point) { return QCPGraphData(point.Time, point.Intensity); })));
    m_overall->setRows(shared);
    m_intensityHovered = -1;
    m_overall->setHoveredIndex(-1);
    m_intensityHighlight->data()->clear();

    // Bars take 30 % of the space between points; the bottom axis spans the
    // points with half a space either side, and the whole storm.
    const double spacing = points.size() > 1 ? points[1].Time - points[0].Time : 1.0;
    m_overall->setWidth(0.3 * spacing);
    if (!points.empty())
        xAxis->setRange(points.front().Time - spacing / 2,
                        std::isfinite(end) ? std::max(points.back().Time + spacing / 2, end)
                                           : points.back().Time + spacing / 2);
}

void StormChart::releaseLinePoints()
{
    m_intensity->data()->clear();
    m_intensity->data()->squeeze();
}

void StormChart::restoreLinePoints()
{
    const RainPoints &points = m_overall->rows();
    if (m_intensity->dataCount() == int(points.size()))
        return;
    m_intensity->setData(QSharedPointer<QCPGraphDataContainer>(new RowData<QCPGraphData>(
        points, [](const RainPoint &point) { return QCPGraphData(point.Time, point.Intensity); })));
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

void StormChart::replotHighlights()
{
    m_highlightLayer->replot();
}

int StormChart::lineIndexAt(const QPointF &pos) const
{
    if (!m_intensity->visible() || m_intensity->dataCount() == 0)
        return -1;
    // The times are sorted: a binary search finds the points within the hit
    // distance across, and only those whose value lies within it (a pixel of
    // slack for rounding) are measured, so that a pointer move costs next to
    // nothing however many points share a pixel column.
    const auto [keyLow, keyHigh] =
        std::minmax({xAxis->pixelToCoord(pos.x() - HitPixels), xAxis->pixelToCoord(pos.x() + HitPixels)});
    const auto [valueLow, valueHigh] = std::minmax(
        {yAxis->pixelToCoord(pos.y() - HitPixels - 1), yAxis->pixelToCoord(pos.y() + HitPixels + 1)});
    const auto data = m_intensity->data();
    const auto end = data->findEnd(keyHigh, false);
    int nearest = -1;
    double nearestDistance = HitPixels * HitPixels * 2;
    for (auto it = data->findBegin(keyLow, false); it != end; ++it) {
        if (!(it->value >= valueLow && it->value <= valueHigh))
            continue;
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
    if (!m_overall->visible() || m_overall->barCount() == 0)
        return -1;
    // A bar narrower than the hit distance still answers within it.
    const double halfWidth = m_overall->width() / 2;
    const double slack = std::fabs(xAxis->pixelToCoord(pos.x() + 2) - xAxis->pixelToCoord(pos.x()));
    const double key = xAxis->pixelToCoord(pos.x());
    const RainPoints &rows = m_overall->rows();
    const double reach = halfWidth + slack;
    const double top = yAxis2->coordToPixel(0);
    // The bars whose times lie within the reach, and one more on each side.
    const int begin = std::max(m_overall->firstBarFrom(key - reach) - 1, 0);
    const int end =
        std::min(m_overall->firstBarFrom(std::nextafter(key + reach, HUGE_VAL)) + 1, m_overall->barCount());
    int nearest = -1;
    double nearestDistance = std::numeric_limits<double>::max();
    for (int index = begin; index < end; ++index) {
        const RainPoint &row = rows[size_t(index)];
        const double distance = std::fabs(row.Time - key);
        if (distance > reach || distance >= nearestDistance)
            continue;
        const double bottom = yAxis2->coordToPixel(row.Overall);
        if (pos.y() < std::min(top, bottom) - 1 || pos.y() > std::max(top, bottom) + 1)
            continue;
        nearestDistance = distance;
        nearest = index;
    }
    return nearest;
}

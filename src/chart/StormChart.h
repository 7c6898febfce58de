#pragma once

#include "chart/IntensityLine.h"
#include "chart/PaletteBars.h"
#include "chart/StyledPlot.h"
#include "model/RainGenerator.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <memory>
#include <optional>

class QLabel;

// The minutes between labelled ticks of a storm's time axis: the smallest of
// 1, 2, 5, 10, 15, 20, 30, 60, 120, 180, 240, 360, 720 min and whole days that
// keeps the labels at most `maxTicks` and divides the storm's `end`, so that
// its end is labelled; when none divides it within the count, the smallest
// step within it (the end is then labelled beside the steps).
double StormTimeTickStep(double end, int maxTicks);

// The ticks of a time axis from 0 to `end` (inclusive) by `step`; an end that
// is no multiple of the step is a tick of its own, and the step's tick before
// it is left out when it would crowd the end's label (closer than half a step).
QVector<double> StormTimeTicks(double end, double step);

// Where a block of labels of `size` goes in a plot area of `area` (both in
// pixels) over data drawn as `ink`: per pixel column of the area, the rows
// [top, bottom) the series cover. The first place (nearest `preferred`) that
// covers no ink, or the least covered one (the line weighs more than the bars); inside the area whenever the
// block fits, at its top left when it does not.
struct InkColumn
{
    std::array<std::pair<int, int>, 2> spans{}; // bars and line, empty when top >= bottom
};
QPoint LabelBlockPlace(QSize size, QRect area, const std::vector<InkColumn> &ink, QPoint preferred);

// The largest finite intensity and cumulative rainfall of the rows, 0 for
// none: a value that is not finite cannot be drawn, so it does not stretch
// the axes.
struct SeriesPeaks
{
    double intensity = 0;
    double overall = 0;
};
SeriesPeaks SeriesPeaksOf(const RainPoints &points);

// The vertical axes' maxima (left: intensity, right: cumulative rainfall).
struct AxisMaxima
{
    double left = 9999;
    double right = 9999;
};

// The axes' maxima for the series shown: with both shown each axis spans
// twice its series' peak, so the line keeps to the lower half of the plot and
// the bars hang from the top to the upper half; with one shown its axis spans
// 1.1 times; a hidden series' axis keeps its `current` maximum. A maximum
// that would overflow is the largest finite number, so ranges stay finite
// and contain the data.
AxisMaxima ScaledAxisMaxima(const SeriesPeaks &peaks, bool barsShown, bool lineShown, AxisMaxima current);

// The storm's chart: intensity as a line on the left axis, cumulative
// rainfall as bars hanging from the top of the inverted right axis.
class StormChart : public StyledPlot
{
    Q_OBJECT

public:
    explicit StormChart(QWidget *parent = nullptr);

    // Replaces the points of both series; point k of each shows row k. The
    // bars share the rows given; the first form shares a copy. The time axis
    // holds every bar whole and reaches `end`, the storm's end in minutes (a
    // block-average storm's last row is the start of its last step).
    void setPoints(const RainPoints &points, double end = 0);
    void setPoints(std::shared_ptr<const RainPoints> points, double end = 0);
    double end() const { return m_end; }
    int pointCount() const;
    // The line holds its own copy of the rows' intensities; while the next
    // storm is computed it may let go of it (nothing is drawn meanwhile), and
    // make it again from the rows the bars keep should that storm fail.
    void releaseLinePoints();
    void restoreLinePoints();

    QCPGraph *intensitySeries() const { return m_intensity; }
    PaletteBars *overallSeries() const { return m_overall; }

    // The value labels lying on the chart (P, T, r, H, i and the formula
    // depth), hidden until the first refresh, at their layout places.
    static constexpr int ValueLabelCount = 6;
    QLabel *valueLabel(int index) const { return m_labels[index]; }
    static QPoint valueLabelPlace(int index);
    // A value label's text; a text wider than the plot shows elided, whole in
    // its tooltip, so that it never runs over the axes.
    void setValueLabelText(int index, const QString &text);
    QString valueLabelText(int index) const { return m_labelTexts[index]; }

    // A label the user has not moved is placed by the chart: the shown ones
    // stacked as a block, where it covers no point or bar (see
    // LabelBlockPlace), again whenever the storm, the axes, the size or the
    // labels change. A label the user moved keeps its place (brought back
    // wholly inside the plot area when let go outside it).
    void moveValueLabel(int index, QPoint place);
    bool valueLabelMoved(int index) const { return m_labelMoved[index]; }
    void keepValueLabelInside(int index);
    // Places the labels the user has not moved, once the plot is laid out.
    void placeValueLabels();

    // Scales the vertical axes by the series shown (see ScaledAxisMaxima).
    void scaleAxes(const SeriesPeaks &peaks);

    // The vertical axes' maxima as the program sets them (both start at 9999).
    // The right axis shows a 10-pixel margin beyond its maximum.
    double leftMaximum() const { return m_leftMaximum; }
    double rightMaximum() const { return m_rightMaximum; }
    void setLeftMaximum(double maximum);
    void setRightMaximum(double maximum);

    // The point of the line within a few pixels of `pos`, nearest first; the
    // bar under `pos`. -1 for none, and for a hidden series.
    int lineIndexAt(const QPointF &pos) const;
    int barIndexAt(const QPointF &pos) const;

    // The point each series shows highlighted, -1 for none.
    int hoveredIndex(const QCPAbstractPlottable *series) const;
    void setHoveredIndex(QCPAbstractPlottable *series, int index);
    // Redraws the highlights only, over the series as last drawn: what a
    // pointer move costs, whatever the storm's length.
    void replotHighlights();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyAxisRanges();
    void elideValueLabels();
    std::vector<InkColumn> inkColumns(const QRect &area) const;

    QCPGraph *m_intensity = nullptr;
    PaletteBars *m_overall = nullptr;
    QCPLayer *m_highlightLayer = nullptr;
    QCPGraph *m_intensityHighlight = nullptr;
    int m_intensityHovered = -1;
    QLabel *m_labels[ValueLabelCount] = {};
    QString m_labelTexts[ValueLabelCount];
    bool m_labelMoved[ValueLabelCount] = {};
    bool m_laidOut = false; // whether a replot has placed the plot's rectangle
    double m_end = 0;
    double m_leftMaximum = 9999;
    double m_rightMaximum = 9999;
};

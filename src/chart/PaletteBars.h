#pragma once

#include "model/RainGenerator.h"

#include <memory>
#include <qcustomplot.h>

// Bars that take their colours in turn from the house palette. Where bars are
// denser than the pixels, each pixel column draws only its longest bar, one
// pixel wide: the envelope of the bars. Bar k stands at row k's time, as long
// as its cumulative rainfall; the bars read the rows they are given, shared
// rather than copied, so a long storm's rows are held once.
class PaletteBars : public QCPBars
{
public:
    PaletteBars(QCPAxis *keyAxis, QCPAxis *valueAxis);

    void setRows(std::shared_ptr<const RainPoints> rows);
    const RainPoints &rows() const { return *m_rows; }
    int barCount() const { return int(m_rows->size()); }
    // The first bar whose time is at or after `key`, barCount() for none.
    int firstBarFrom(double key) const;

    void setHoveredIndex(int index) { m_hovered = index; }
    int hoveredIndex() const { return m_hovered; }

    // The frame of the hovered bar, drawn on a layer of its own so that the
    // pointer moving over a long storm redraws only the frame.
    void drawHoveredFrame(QCPPainter *painter) const;

protected:
    void draw(QCPPainter *painter) override;

private:
    void drawBar(QCPPainter *painter, const QRectF &rect, int index) const;
    QRectF shownRect(int index) const;
    std::shared_ptr<const RainPoints> m_rows = std::make_shared<const RainPoints>();
    int m_hovered = -1;
};

#pragma once

#include <QTableView>

// The result table's view. It can frame one row in red over its cells (the
// row the chart points at); the frame goes with the next clear.
class ResultTableView : public QTableView
{
    Q_OBJECT

public:
    using QTableView::QTableView;

    // The model row framed in red, -1 for none.
    int frameRow() const { return m_frameRow; }
    void setFrameRow(int row);

    // The columns' starting widths, set at once; they are the smallest
    // widths fitColumns gives.
    void setStartWidths(const QList<int> &widths);
    // Makes each column wide enough for its heading and the texts of `rows`
    // (the rows whose texts are widest): back to the starting width or wider
    // when the column has the width the last fit gave, only wider when the
    // user has resized it.
    void fitColumns(const QList<int> &rows);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The width a cell needs for `text` and every text of its shape.
    int widthOfTextsLike(const QString &text) const;

    int m_frameRow = -1;
    QList<int> m_startWidths;
    QList<int> m_fittedWidths;
};

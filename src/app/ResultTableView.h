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

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_frameRow = -1;
};

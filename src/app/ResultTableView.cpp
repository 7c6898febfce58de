#include "ResultTableView.h"

#include <QPainter>

void ResultTableView::setFrameRow(int row)
{
    m_frameRow = row;
    viewport()->repaint();
}

void ResultTableView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    if (m_frameRow < 0 || !model() || m_frameRow >= model()->rowCount())
        return;
    // The frame spans the whole row as far as the table shows it.
    const int columns = model()->columnCount();
    QRect row;
    for (int column = 0; column < columns; ++column)
        row = row.united(visualRect(model()->index(m_frameRow, column)));
    if (row.isEmpty())
        return;
    QPainter painter(viewport());
    painter.setPen(QPen(QColor(255, 0, 0), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(QPoint(row.left() + 1, row.top()), QPoint(row.right(), row.bottom())));
}

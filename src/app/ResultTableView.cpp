#include "ResultTableView.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyle>
#include <algorithm>

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

void ResultTableView::setStartWidths(const QList<int> &widths)
{
    m_startWidths = widths;
    m_fittedWidths = widths;
    for (int column = 0; column < widths.size(); ++column)
        setColumnWidth(column, widths[column]);
}

int ResultTableView::widthOfTextsLike(const QString &text) const
{
    // Digits need not be equally wide: a text of the same shape with other
    // digits must fit too, so every digit counts as the widest one.
    const QFontMetrics metrics(font());
    QChar widestDigit = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit) {
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widestDigit))
            widestDigit = QChar(digit);
    }
    QString shape = text;
    for (QChar &c : shape) {
        if (c.isDigit())
            c = widestDigit;
    }
    // The item view's margins on either side of a cell's text, and the grid line.
    const int textMargin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    return std::max(metrics.horizontalAdvance(shape), metrics.horizontalAdvance(text)) + 2 * textMargin +
           (showGrid() ? 1 : 0);
}

void ResultTableView::fitColumns(const QList<int> &rows)
{
    if (!model())
        return;
    const int columns = std::min(int(m_startWidths.size()), model()->columnCount());
    const int rowCount = model()->rowCount();
    for (int column = 0; column < columns; ++column) {
        int needed = std::max(m_startWidths[column], horizontalHeader()->sectionSizeHint(column));
        for (const int row : rows) {
            if (row >= 0 && row < rowCount)
                needed = std::max(needed, widthOfTextsLike(model()->index(row, column).data().toString()));
        }
        if (columnWidth(column) == m_fittedWidths[column] || columnWidth(column) < needed)
            setColumnWidth(column, needed);
        m_fittedWidths[column] = columnWidth(column);
    }
}

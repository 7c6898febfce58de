#include "ResultTableModel.h"

#include "model/ShownTexts.h"

#include <QBrush>
#include <QGuiApplication>
#include <QPalette>

ResultTableModel::ResultTableModel(QObject *parent) : QAbstractTableModel(parent)
{}

void ResultTableModel::fill(std::shared_ptr<const RainPoints> points, int timeFormat, int precision,
                            const Separators &sep)
{
    beginResetModel();
    m_points = points ? std::move(points) : std::make_shared<const RainPoints>();
    m_timeFormat = timeFormat;
    m_precision = precision;
    m_separators = sep;
    m_edits.clear();
    endResetModel();
}

QString ResultTableModel::cellText(int row, int column) const
{
    if (row < 0 || row >= int(m_points->size()) || column < 0 || column > 2)
        return {};
    const auto edit = m_edits.constFind(qint64(row) * 3 + column);
    if (edit != m_edits.constEnd())
        return *edit;
    const RainPoint &point = (*m_points)[size_t(row)];
    switch (column) {
    case 0:
        return ::RowTexts(point, m_timeFormat, m_precision, m_separators)[0];
    case 1:
        return ShownValue(point.Intensity, m_precision, m_separators);
    default:
        return ShownValue(point.Overall, m_precision, m_separators);
    }
}

PointRows ResultTableModel::ShownRows::computedRows() const
{
    return PointRows(*m_model.m_points, m_model.m_timeFormat, m_model.m_precision, m_model.m_separators);
}

bool ResultTableModel::ShownRows::hasPlainRows() const
{
    return m_model.m_edits.isEmpty() && computedRows().hasPlainRows();
}

char *ResultTableModel::ShownRows::writePlainRow(qsizetype index, char *out) const
{
    return computedRows().writePlainRow(index, out);
}

void ResultTableModel::ShownRows::readRow(qsizetype index, TableRow &row) const
{
    computedRows().readRow(index, row);
    if (m_model.m_edits.isEmpty())
        return;
    for (int column = 0; column < 3; ++column) {
        const auto edit = m_model.m_edits.constFind(qint64(index) * 3 + column);
        if (edit != m_model.m_edits.constEnd())
            row[size_t(column)] = *edit;
    }
}

TableRows ResultTableModel::rowTexts() const
{
    return TableTexts(m_shownRows);
}

int ResultTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_points->size());
}

int ResultTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant ResultTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cellText(index.row(), index.column());
    case Qt::BackgroundRole:
        // The time column is the table's fixed column.
        if (index.column() == 0)
            return QGuiApplication::palette().brush(QPalette::Button);
        return {};
    default:
        return {};
    }
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case 0:
        return QStringLiteral("时间");
    case 1:
        return QStringLiteral("降雨强度");
    case 2:
        return QStringLiteral("降雨总量");
    default:
        return {};
    }
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() > 0)
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool ResultTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() == 0 || role != Qt::EditRole)
        return false;
    m_edits.insert(qint64(index.row()) * 3 + index.column(), value.toString());
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

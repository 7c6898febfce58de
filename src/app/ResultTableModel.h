#pragma once

#include "model/NumberForms.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QAbstractTableModel>
#include <QHash>
#include <array>
#include <memory>

// The result table's cells: the texts the last fill wrote, with the user's
// edits of the intensity and total columns kept until the next fill. The
// texts are made from the rows as they are asked for, so a storm of a million
// minutes fills at once.
class ResultTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    explicit ResultTableModel(QObject *parent = nullptr);

    // Shows `points` with the given time format and shown precision; drops
    // every edit. The rows are shared with the caller, not copied: a long
    // storm's rows are held once.
    void fill(std::shared_ptr<const RainPoints> points, int timeFormat, int precision, const Separators &sep);

    // The text of a data cell as the table shows it (row counts from 0).
    QString cellText(int row, int column) const;
    // The rows of the last fill.
    const RainPoints &points() const { return *m_points; }
    // The data rows as the table shows them, edits included, read a row at a
    // time: what the exports copy.
    const TableRowSource &shownRows() const { return m_shownRows; }
    // Every data row's texts, edits included.
    TableRows rowTexts() const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

private:
    class ShownRows final : public TableRowSource
    {
    public:
        explicit ShownRows(const ResultTableModel &model) : m_model(model) {}
        qsizetype rowCount() const override { return qsizetype(m_model.m_points->size()); }
        void readRow(qsizetype index, TableRow &row) const override;
        // Without the user's edits the rows are the computed ones, written as bytes.
        bool hasPlainRows() const override;
        char *writePlainRow(qsizetype index, char *out) const override;

    private:
        PointRows computedRows() const;
        const ResultTableModel &m_model;
    };

    ShownRows m_shownRows{*this};
    std::shared_ptr<const RainPoints> m_points = std::make_shared<const RainPoints>();
    int m_timeFormat = 0;
    int m_precision = 4;
    Separators m_separators;
    QHash<qint64, QString> m_edits; // key: row * 3 + column
};

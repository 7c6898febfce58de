#include "StormSession.h"

#include "app/ResultTableModel.h"

StormSession::StormSession(const Separators &sep, QObject *parent)
    : QObject(parent), m_separators(sep), m_table(new ResultTableModel(this))
{}

StormSession::~StormSession() = default;

void StormSession::setStorm(const Storm &storm)
{
    m_storm = storm;
}

void StormSession::updateStorm(const std::function<void(Storm &)> &change)
{
    change(m_storm);
}

void StormSession::saveOptions() const
{
    if (!m_optionsFile.isEmpty())
        SaveOptions(m_options, m_optionsFile);
}

void StormSession::setSeriesShown(bool barsShown, bool lineShown)
{
    m_options.ShowAxis_Overall = barsShown;
    m_options.ShowAxis_Intensity = lineShown;
}

std::optional<QString> StormSession::refresh()
{
    // The new rows are computed apart: the table keeps showing the last ones
    // until these are done, and keeps them when the computation fails.
    auto rows = std::make_shared<RainPoints>();
    std::optional<QString> failure =
        CalcRainPoints(m_storm, *rows, m_options.CalcByShow, m_options.Precision);
    if (failure) {
        m_failure = failure;
        return failure;
    }
    m_failure.reset();
    m_rows = std::move(rows);
    m_currentRow = -1;
    m_table->fill(m_rows, int(m_options.TimeFormat), m_options.Precision, m_separators);
    emit rowsChanged();
    return std::nullopt;
}

std::optional<QString> StormSession::exportRefusal(const QString &nothingMessage) const
{
    if (m_failure)
        return FailedStormExportMessage(*m_failure);
    if (m_rows->empty())
        return nothingMessage;
    return std::nullopt;
}

bool StormSession::setCurrentRow(int row)
{
    if (row < -1 || row >= int(m_rows->size()))
        row = -1;
    if (row == m_currentRow)
        return false;
    m_currentRow = row;
    emit currentRowChanged(row);
    return true;
}

QString FailedStormExportMessage(const QString &failure)
{
    return QStringLiteral("当前雨型计算出错（%1），没有可以输出的结果。\n"
                          "表格和图表仍是上一个雨型的结果。请修改参数，计算成功后再输出。")
        .arg(failure);
}

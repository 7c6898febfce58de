#include "StormSession.h"

#include "app/ResultTableModel.h"

StormSession::StormSession(const Separators &sep, QObject *parent)
    : QObject(parent), m_separators(sep), m_table(new ResultTableModel(this))
{}

StormSession::~StormSession() = default;

std::optional<QString> StormSession::setStorm(const Storm &storm)
{
    m_storm = storm;
    emit stormChanged();
    return refresh();
}

std::optional<QString> StormSession::updateStorm(const std::function<void(Storm &)> &change)
{
    Storm storm = m_storm;
    change(storm);
    return setStorm(storm);
}

void StormSession::setFile(const QString &path)
{
    if (path == m_file)
        return;
    m_file = path;
    emit fileChanged();
}

void StormSession::setOptions(const ViewOptions &options)
{
    m_options = options;
    emit optionsChanged();
}

void StormSession::saveOptions() const
{
    if (!m_optionsFile.isEmpty())
        SaveOptions(m_options, m_optionsFile);
}

void StormSession::setSeriesShown(bool barsShown, bool lineShown)
{
    if (m_options.ShowAxis_Overall == barsShown && m_options.ShowAxis_Intensity == lineShown)
        return;
    m_options.ShowAxis_Overall = barsShown;
    m_options.ShowAxis_Intensity = lineShown;
    emit optionsChanged();
}

std::optional<QString> StormSession::refresh()
{
    emit aboutToCompute();
    // The new rows are computed apart: the table keeps showing the last ones
    // until these are done, and keeps them when the computation fails.
    auto rows = std::make_shared<RainPoints>();
    Storm computed = m_storm;
    std::optional<QString> failure =
        CalcRainPoints(computed, *rows, m_options.CalcByShow, m_options.Precision);
    if (failure) {
        m_failure = ExplainedFailure(m_storm, *failure);
        emit computeFailed(*m_failure);
        emit failureChanged();
        return m_failure;
    }
    const bool hadFailure = m_failure.has_value();
    m_failure.reset();
    m_storm = computed; // with its totals
    m_shownStorm = computed;
    m_rows = std::move(rows);
    m_currentRow = -1;
    m_table->fill(m_rows, int(m_options.TimeFormat), m_options.Precision, m_separators);
    emit rowsChanged();
    if (hadFailure)
        emit failureChanged();
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

#pragma once

#include "io/ViewOptions.h"
#include "model/NumberForms.h"
#include "model/RainGenerator.h"
#include "model/Storm.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class ResultTableModel;

// One window's storm: its parameters, the rows last computed from them, the
// table's cells (the user's edits included), the view options and the storm
// file. It is the one owner of all of them: every change goes through it and
// is announced by a signal, and the table, the chart, the labels and every
// export read from here and follow those signals. Nothing outside holds a
// reference into its state: dialogs edit copies and hand them back.
//
// The storm is of either kind (Storm::kind): the Chicago storm of a formula,
// or a long-duration storm built from records, which carries its interval
// depths; the session holds, computes, shows and exports both alike.
class StormSession : public QObject
{
    Q_OBJECT

public:
    explicit StormSession(const Separators &sep, QObject *parent = nullptr);
    ~StormSession() override;

    // The storm as last entered or opened.
    const Storm &storm() const { return m_storm; }
    // The storm the rows were computed from, with its totals: what the table,
    // the chart and the labels show. After a failed computation it is the
    // storm before, until one succeeds.
    const Storm &shownStorm() const { return m_shownStorm; }
    // New parameters: announced, then computed at once (see refresh()).
    // Returns the failure of the computation, if any.
    std::optional<QString> setStorm(const Storm &storm);
    // Changes some parameters, then as setStorm().
    std::optional<QString> updateStorm(const std::function<void(Storm &)> &change);

    // The storm file the storm was last opened from or saved to; empty for a new storm.
    const QString &file() const { return m_file; }
    void setFile(const QString &path);

    // The view options.
    const ViewOptions &options() const { return m_options; }
    // New options, announced; the rows are not recomputed (refresh() does).
    void setOptions(const ViewOptions &options);
    // Where the options are kept; empty when they live for this run only.
    const QString &optionsFile() const { return m_optionsFile; }
    void setOptionsFile(const QString &path) { m_optionsFile = path; }
    // Writes the options to their file (without one: nothing). Raises
    // PluvionError with the reason when the file cannot be written.
    void saveOptions() const;
    // Takes the states of the two series switches into the options.
    void setSeriesShown(bool barsShown, bool lineShown);

    // Computes the storm. aboutToCompute() comes first. On success the rows,
    // the shown storm and the table's cells are replaced, every edit
    // dropped, and rowsChanged() is emitted once. On failure the rows and the
    // table keep the last storm computed, computeFailed() is emitted, the
    // failure is kept until the next success (every export of results is
    // refused meanwhile), and its description returned: the generator's own
    // words with what caused them (see ExplainedFailure).
    std::optional<QString> refresh();

    // The rows of the last storm computed; empty before the first success.
    const RainPoints &rows() const { return *m_rows; }
    std::shared_ptr<const RainPoints> sharedRows() const { return m_rows; }
    bool hasRows() const { return !m_rows->empty(); }
    // The table's cells: the rows' texts in the shown form, with the user's edits.
    ResultTableModel &table() const { return *m_table; }
    // Why the last computation failed; nothing after a success.
    const std::optional<QString> &failure() const { return m_failure; }

    // Why the results cannot be exported now, or nothing when they can:
    // `nothingMessage` before any storm was computed; after a failed
    // computation, the failure and that the table still shows the storm before.
    std::optional<QString> exportRefusal(const QString &nothingMessage) const;

    // The row the user points at or chose, in chart and table alike; -1 for none.
    int currentRow() const { return m_currentRow; }
    // Moves the current row (-1 for a row outside the rows) and announces it;
    // false, announcing nothing, when it was current already.
    bool setCurrentRow(int row);

signals:
    // The storm's parameters changed (a computation follows).
    void stormChanged();
    // A computation starts: whoever holds a copy of the rows may let go of it.
    void aboutToCompute();
    // New rows (and so new table cells and a new shown storm) after a successful computation.
    void rowsChanged();
    // A computation failed, with its description; the rows stay as they were.
    void computeFailed(const QString &failure);
    // The failure kept changed: a computation failed, or one succeeded after a failure.
    void failureChanged();
    // The view options changed.
    void optionsChanged();
    // The storm file changed.
    void fileChanged();
    // The current row moved; -1 for none.
    void currentRowChanged(int row);

private:
    Separators m_separators;
    Storm m_storm = StartUpStorm();
    Storm m_shownStorm = StartUpStorm();
    std::shared_ptr<const RainPoints> m_rows = std::make_shared<const RainPoints>();
    ResultTableModel *m_table = nullptr;
    std::optional<QString> m_failure;
    ViewOptions m_options;
    QString m_optionsFile;
    QString m_file;
    int m_currentRow = -1;
};

// The message that refuses an export while the table shows an earlier storm
// than the one entered, which could not be computed.
QString FailedStormExportMessage(const QString &failure);

#pragma once

#include "fit/Bootstrap.h"
#include "fit/FitCase.h"
#include "records/LongStorm.h"
#include "records/RecordAnalysis.h"
#include "ui/UserPrompts.h"

#include <QDialog>
#include <functional>
#include <optional>
#include <utility>

class QCheckBox;
class QComboBox;
class QCustomPlot;
class QGraphicsOpacityEffect;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;
class QTabWidget;

// The dialog "暴雨强度公式推求": the user pastes or opens an i–t–P table or
// sample series, picks how to read them, and sees the fitted formula, the
// accuracy table with pass/fail, the single-period formulas, the goodness of
// each distribution and a chart of the table against the fitted curves.
// "用于新雨型" closes it as Accepted with the formula in fittedFormula();
// "导出..." writes the fit report.
class FormulaFitDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FormulaFitDialog(UserPrompts &prompts, QWidget *parent = nullptr);

    // The last successful fit's total formula (none before the first).
    std::optional<TotalFormula> fittedFormula() const;
    // The peak ratio measured from rain-gauge records, when the fit came from them.
    std::optional<double> fittedPeakRatio() const;
    const std::optional<FitOutcome> &outcome() const { return m_outcome; }
    // The confidence bands of the shown fit, when 置信区间 was checked for it.
    const std::optional<BootstrapResult> &bands() const { return m_bands; }
    // The long-duration storm built by 长历时雨型... when the dialog was
    // accepted with it (none otherwise), handed over once; records() holds
    // the records it came from.
    std::optional<LongStorm> takeLongStorm() { return std::exchange(m_longStorm, std::nullopt); }
    const std::optional<RecordAnalysis> &records() const { return m_records; }

    // The settings the controls describe.
    FitSettings settings() const;
    // The records run the settings ask for, as the command line builds it from its options.
    RecordsRequest recordsRequest() const;

public slots:
    void openData();
    void openRecordsFolder();
    void runFit();
    void useFormula();
    void makeLongStorm();
    void exportResults();

private:
    void buildControls();
    void inputKindChange();
    // `slot` run from a control: what it throws is shown in a message box.
    std::function<void()> guarded(void (FormulaFitDialog::*slot)());
    void showOutcome();
    // The records' tabs: years, samples (gap marks included) and r.
    void showRecords(const RecordsSummary &records);
    void clearOutcome();
    // The settings or the data changed since the shown result was computed.
    void markStale();
    // Offers the kind of input the data plainly are when another is chosen;
    void offerApparentKind(const QByteArray &data);
    void showChart(bool shown);
    bool recordsChosen() const;
    // Reads the records named in the data field on a worker thread, the
    // window answering meanwhile, with a progress box that can cancel it.
    // Empty when cancelled; raises PluvionError for bad records.
    std::optional<FitOutcome> fitRecords();
    // The bands of the fit just made, from the samples it was made of
    // (`samples` when they were pasted, else the records), on a worker
    // thread behind a progress box. Empty when cancelled; raises PluvionError.
    std::optional<BootstrapResult> resample(const QByteArray &samples);
    void showBands();

    UserPrompts &m_prompts;
    std::optional<FitOutcome> m_outcome;
    std::optional<BootstrapResult> m_bands; // of m_outcome
    // The records last read, kept when the fit of their samples fails, so
    // that their years, samples and r are still shown and the samples can be
    // exported.
    std::optional<RecordAnalysis> m_records;
    RecordsRequest m_recordsRequest; // what m_records was read and sampled by
    std::optional<LongStorm> m_longStorm;

    QComboBox *m_inputKindBox = nullptr;
    QSpinBox *m_yearsEdit = nullptr;
    QCheckBox *m_annualMaximumBox = nullptr;
    QComboBox *m_distributionBox = nullptr;
    QComboBox *m_logarithmBox = nullptr;
    QPlainTextEdit *m_dataEdit = nullptr;
    QLabel *m_formulaLabel = nullptr;
    QLabel *m_staleLabel = nullptr;
    QWidget *m_results = nullptr;
    QTableWidget *m_accuracyTable = nullptr;
    QTableWidget *m_periodFormulaTable = nullptr;
    QTableWidget *m_goodnessTable = nullptr;
    QCustomPlot *m_fitChart = nullptr;
    QGraphicsOpacityEffect *m_fitChartFade = nullptr; // fades the chart of a stale result
    QCheckBox *m_logAxesBox = nullptr;
    QCheckBox *m_bandsBox = nullptr;
    QTableWidget *m_bandsTable = nullptr;
    QLabel *m_bandsLabel = nullptr; // the parameters' bands, the readings and the resampling in words
    QWidget *m_recordsRow = nullptr;
    QComboBox *m_recordGapsBox = nullptr;
    QComboBox *m_recordUnitBox = nullptr;
    QComboBox *m_recordStepBox = nullptr;
    QSpinBox *m_minCompletenessEdit = nullptr;
    QComboBox *m_recordSamplingBox = nullptr;
    QTabWidget *m_resultTabs = nullptr;
    QTableWidget *m_recordYearsTable = nullptr;
    QTableWidget *m_recordSamplesTable = nullptr;
    QTableWidget *m_peakRatioTable = nullptr;
    QLabel *m_peakRatioLabel = nullptr;
    QLabel *m_sampleNotesLabel = nullptr; // under the samples: which were measured across a gap
    QPushButton *m_useFormulaButton = nullptr;
    QPushButton *m_exportButton = nullptr;
    QPushButton *m_longStormButton = nullptr;
};

#pragma once

#include "fit/FitCase.h"
#include "ui/UserPrompts.h"

#include <QDialog>
#include <optional>

class QCheckBox;
class QComboBox;
class QCustomPlot;
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
class TFormFormulaFit : public QDialog
{
    Q_OBJECT

public:
    explicit TFormFormulaFit(UserPrompts &prompts, QWidget *parent = nullptr);

    // The last successful fit's total formula (none before the first).
    std::optional<TotalFormula> fittedFormula() const;
    // The peak ratio measured from rain-gauge records, when the fit came from them.
    std::optional<double> fittedPeakRatio() const;
    const std::optional<FitOutcome> &outcome() const { return m_outcome; }

    // The settings the controls describe.
    FitSettings settings() const;

public slots:
    void ButtonOpenClick();
    void ButtonOpenFolderClick();
    void ButtonFitClick();
    void ButtonUseFormulaClick();
    void ButtonExportClick();

private:
    void buildControls();
    void inputKindChange();
    void showOutcome();
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

    UserPrompts &m_prompts;
    std::optional<FitOutcome> m_outcome;

    QComboBox *m_cbbInputKind = nullptr;
    QSpinBox *m_EditYears = nullptr;
    QCheckBox *m_CheckBoxAnnualMax = nullptr;
    QComboBox *m_cbbDistribution = nullptr;
    QComboBox *m_ComboBox_LgLn = nullptr;
    QPlainTextEdit *m_MemoData = nullptr;
    QLabel *m_LabelFormula = nullptr;
    QLabel *m_LabelStale = nullptr;
    QWidget *m_Results = nullptr;
    QTableWidget *m_GridAccuracy = nullptr;
    QTableWidget *m_GridPeriodFormulas = nullptr;
    QTableWidget *m_GridGoodness = nullptr;
    QCustomPlot *m_ChartFit = nullptr;
    QCheckBox *m_CheckBoxLogAxes = nullptr;
    QWidget *m_RecordsRow = nullptr;
    QComboBox *m_cbbRecordGaps = nullptr;
    QComboBox *m_cbbRecordUnit = nullptr;
    QComboBox *m_cbbRecordStep = nullptr;
    QSpinBox *m_EditMinCompleteness = nullptr;
    QComboBox *m_cbbRecordSampling = nullptr;
    QTabWidget *m_TabResults = nullptr;
    QTableWidget *m_GridRecordYears = nullptr;
    QTableWidget *m_GridRecordSamples = nullptr;
    QTableWidget *m_GridPeakRatio = nullptr;
    QLabel *m_LabelPeakRatio = nullptr;
    QLabel *m_LabelSampleNotes = nullptr; // under the samples: which were measured across a gap
    QPushButton *m_ButtonUseFormula = nullptr;
    QPushButton *m_ButtonExport = nullptr;
};

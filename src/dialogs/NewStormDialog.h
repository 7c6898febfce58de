#pragma once

#include "model/NumberForms.h"
#include "model/Storm.h"
#include "model/StormEntry.h"
#include "ui/UserPrompts.h"

#include <QDialog>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The new-storm dialog "添加新曲线": the storm-intensity formula drawn in its
// written shape with an edit for each parameter, and the design values of the
// storm below it. It edits the current storm in place and holds nothing but
// its controls. Create it once, after the storm exists: its creation writes
// the start-up storm into it. Each showing fills the controls from the storm
// (the step edit keeps the text last typed); exec() returns Accepted only
// after OK has checked, converted and stored every value. Cancel and the
// close box leave the storm as it was.
class NewStormDialog : public QDialog
{
    Q_OBJECT

public:
    NewStormDialog(Storm &model, UserPrompts &prompts, const Separators &sep, QWidget *parent = nullptr);
    // The next showing proposes this formula (form, A1, C, b, n, log kind),
    // and the peak ratio when one is given, instead of the storm's own; the
    // other design values still come from the storm.
    void proposeFormula(const Storm &formula, std::optional<double> peakRatio = std::nullopt)
    {
        m_proposedFormula = formula;
        m_proposedPeakRatio = peakRatio;
    }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private slots:
    void formChanged();
    void confirm();
    void cancel();

private:
    void buildControls();
    void setUp();
    void prepareToShow();
    // Fills the formula's entries (form, A1, C, b, n, logarithm) from `formula`.
    void showFormula(const Storm &formula);
    bool EditStormPercentKeyPress(QChar key) const;
    bool EditStepKeyPress(QChar key) const;
    StormEntry typedEntry() const;
    QLineEdit *editFor(StormEntryField field) const;

    Storm &m_model;
    UserPrompts &m_prompts;
    Separators m_separators;
    std::optional<Storm> m_proposedFormula;
    std::optional<double> m_proposedPeakRatio;

    QComboBox *m_formBox = nullptr;
    QLineEdit *m_a1Edit = nullptr;
    QLineEdit *m_cEdit = nullptr;
    QComboBox *m_logBox = nullptr;
    QLineEdit *m_bEdit = nullptr;
    QLineEdit *m_nEdit = nullptr;
    QLabel *m_unitLabel = nullptr;
    QLineEdit *m_periodEdit = nullptr;
    QLineEdit *m_durationEdit = nullptr;
    QLineEdit *m_peakEdit = nullptr;
    QLineEdit *m_stepEdit = nullptr;
    QComboBox *m_modeBox = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

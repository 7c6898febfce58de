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
// storm below it. It edits a copy: setStorm() before it shows, storm() after
// it is accepted; it starts with the start-up storm. Each showing fills the
// controls from its storm (the step edit keeps the text last typed); exec()
// returns Accepted only after OK has checked, converted and stored every
// value. Cancel and the close box leave its storm as it was. Switching the
// form converts the number in the first entry (A1 ↔ 166.7A1), and the
// caption under it names the number the entry expects.
class NewStormDialog : public QDialog
{
    Q_OBJECT

public:
    NewStormDialog(UserPrompts &prompts, const Separators &sep, QWidget *parent = nullptr);
    void setStorm(const Storm &storm) { m_storm = storm; }
    const Storm &storm() const { return m_storm; }
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
    void formPicked();
    void confirm();
    void cancel();

private:
    void buildControls();
    void prepareToShow();
    // Fills the formula's entries (form, A1, C, b, n, logarithm) from `formula`.
    void showFormula(const Storm &formula);
    bool EditStormPercentKeyPress(QChar key) const;
    bool EditStepKeyPress(QChar key) const;
    StormEntry typedEntry() const;
    QLineEdit *editFor(StormEntryField field) const;

    Storm m_storm = StartUpStorm();
    // The first entry as the last switch of form converted it, and the exact
    // A1 it came from: OK on the unchanged text stores that A1, not the
    // conversion's rounded digits.
    struct A1Conversion
    {
        QString shown;
        bool fromFlow = false; // typed as 166.7A1
        double original = 0;   // the number typed
        QString before;        // the text before the switch, given back by the switch back
    };
    std::optional<A1Conversion> m_a1Conversion;
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
    QLabel *m_a1Caption = nullptr;
    QLineEdit *m_periodEdit = nullptr;
    QLineEdit *m_durationEdit = nullptr;
    QLineEdit *m_peakEdit = nullptr;
    QLineEdit *m_stepEdit = nullptr;
    QComboBox *m_modeBox = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

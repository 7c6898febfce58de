#pragma once

#include "records/LongStorm.h"
#include "ui/UserPrompts.h"

#include <QDialog>
#include <vector>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// "长历时雨型": what the long-duration storm is to be, asked from a records
// result: D, Δt, P, the method, the nested durations, the typical storm
// (same-frequency) or the storms averaged (average variability), and where
// the design depths come from. It reads the record to list the candidate
// storms and hands back settings, checked on OK (D, Δt and the nest); the
// caller builds the storm.
class LongStormDialog : public QDialog
{
    Q_OBJECT

public:
    // `formulaFitted`: whether a total formula can give the design depths.
    LongStormDialog(const RainRecord &record, bool formulaFitted, UserPrompts &prompts,
                    QWidget *parent = nullptr);

    // The settings the controls ask for (sampling, frequency and formula are
    // the caller's). Raises PluvionError for a nest list that is no list of
    // minutes.
    LongStormSettings settings() const;

private slots:
    void methodChanged();
    void durationChanged();
    void confirm();

private:
    const RainRecord &m_record;
    UserPrompts &m_prompts;
    std::vector<StormWindow> m_candidates;

    QSpinBox *m_durationEdit = nullptr;
    QSpinBox *m_stepEdit = nullptr;
    QDoubleSpinBox *m_periodEdit = nullptr;
    QComboBox *m_methodBox = nullptr;
    QLineEdit *m_nestEdit = nullptr;
    QComboBox *m_typicalBox = nullptr;
    QSpinBox *m_stormCountEdit = nullptr;
    QComboBox *m_depthSourceBox = nullptr;
    QLabel *m_candidatesNote = nullptr;
};

#pragma once

#include "io/ViewOptions.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QPushButton;
class QGroupBox;
class QSpinBox;

// The options dialog "设置": edits the display options in place and shows
// label and series visibility on the main window while it is open. Its
// controls carry their names as object names (GroupBox1 to GroupBox4,
// CheckBox_ShowLabel_P, ..., SpinEdit_Precision, ComboBox_TimeForamt,
// Button_OK, Button_Cancle). Creating it fills the controls from the options
// without touching them; from then on every change of a control copies all
// ten controls into the options and calls `previewOnWindow`, which shows the
// labels and switches the series on the main window (and must not throw).
// "确定" closes it with Accepted, "取消" and the close box with Rejected;
// saving, reloading and putting the file back are the command's business.
class OptionsDialog : public QDialog
{
    Q_OBJECT

public:
    // Edits a copy of `options`; each change hands the copy to `previewOnWindow`.
    OptionsDialog(const ViewOptions &options, std::function<void(const ViewOptions &)> previewOnWindow,
                  QWidget *parent = nullptr);
    ~OptionsDialog() override;

    static constexpr int FlagBoxCount = 9;

    // The options as the controls set them.
    const ViewOptions &options() const { return m_options; }

private:
    void buildControls();
    // Fits the groups to their texts and places them, the buttons and the
    // dialog's size around them (never smaller than the layout's own sizes).
    void fitToFonts(QGroupBox *labels, QGroupBox *series, QGroupBox *time, QGroupBox *precision);
    void setUp();
    void applyOptions();
    // The one change handler of all ten controls.
    void copyControlsToOptions();
    int shownPrecision() const;

    ViewOptions m_options;
    std::function<void(const ViewOptions &)> m_previewOnWindow;
    bool m_creating = false;

    QCheckBox *m_flagBoxes[FlagBoxCount] = {}; // the check boxes, each of one option
    QSpinBox *m_precisionEdit = nullptr;
    QComboBox *m_timeFormatBox = nullptr;
    QPushButton *m_okButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
};

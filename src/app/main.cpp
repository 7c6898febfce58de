// Pluvion: the window program.
#include "app/MainWindow.h"
#include "app/QtTranslation.h"
#include "chart/StormChart.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/FormulaFitDialog.h"
#include "dialogs/NewStormDialog.h"
#include "dialogs/OptionsDialog.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"
#include "program/WriteSignals.h"
#include "ui/UserPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPlainTextEdit>
#include <QStandardPaths>

namespace {

// Shows a window at its own size, lets it lay itself out and saves what it draws.
bool savePicture(QWidget &widget, const QString &path)
{
    widget.show();
    QCoreApplication::processEvents();
    const bool saved = widget.grab().save(path);
    widget.hide();
    return saved;
}

// Answers every question "no" and every file dialog "cancel", unseen.
class QuietPrompts : public UserPrompts
{
public:
    Answer message(QWidget *, const QString &, const QString &, Icon, Buttons buttons) override
    {
        return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
    }
    std::optional<FileChoice> openFile(QWidget *, const FileDialog &) override { return std::nullopt; }
    std::optional<FileChoice> saveFile(QWidget *, const FileDialog &) override { return std::nullopt; }
};

// An i–t–P table of the start-up formula with ±2 % deviations, as a fit's
// input looks.
QString ExampleTable()
{
    const TotalFormula formula{9.5981, 0.846, 7.0, 0.656, Logarithm::Lg, 0};
    QString text = QStringLiteral("t\\P,2,3,5,10,20,50,100\n");
    int k = 0;
    for (int t : {5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180}) {
        text += QString::number(t);
        for (double p : {2, 3, 5, 10, 20, 50, 100})
            text += u',' + QString::number(FormulaIntensity(formula, t, p) * (1 + 0.02 * ((k++ % 5) - 2) / 2),
                                           'f', 4);
        text += u'\n';
    }
    return text;
}

// The window and each dialog at their default sizes, one PNG each in `folder`,
// for looking at the layout under the fonts of this machine.
bool saveDialogPictures(MainWindow &window, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDir dir(folder);
    bool saved = true;
    window.findChild<StormChart *>(QStringLiteral("StormChart"))->replot();
    saved &= window.grab().save(dir.filePath(QStringLiteral("main-window.png")));
    // And at the smallest size the window allows.
    const QSize size = window.size();
    window.resize(window.minimumSize());
    QCoreApplication::processEvents();
    window.findChild<StormChart *>(QStringLiteral("StormChart"))->replot();
    saved &= window.grab().save(dir.filePath(QStringLiteral("main-window-smallest.png")));
    window.resize(size);

    NewStormDialog newStorm(window.prompts(), window.separators(), &window);
    newStorm.setStorm(window.session().storm());
    saved &= savePicture(newStorm, dir.filePath(QStringLiteral("new-storm.png")));

    OptionsDialog optionsDialog(window.session().options(), {}, &window);
    saved &= savePicture(optionsDialog, dir.filePath(QStringLiteral("options.png")));

    // The fit dialog before a result, with one, stale, and after a failure;
    // its messages answered "no" unseen.
    QuietPrompts quiet;
    FormulaFitDialog formulaFit(quiet, &window);
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit.png")));
    auto *data = formulaFit.findChild<QPlainTextEdit *>(QStringLiteral("DataEdit"));
    data->setPlainText(ExampleTable());
    formulaFit.runFit();
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit-result.png")));
    formulaFit.findChild<QComboBox *>(QStringLiteral("ComboBox_LgLn"))->setCurrentIndex(1);
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit-stale.png")));
    data->setPlainText(QStringLiteral("历时\\重现期,2,5\n5,2.1,2.6\n10,abc,2.2\n20,1.4,1.8\n"));
    formulaFit.runFit();
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit-failed.png")));
    data->clear();
    formulaFit.findChild<QComboBox *>(QStringLiteral("InputKindBox"))->setCurrentIndex(4); // 降雨记录
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit-records.png")));

    AboutDialog about;
    about.setVersion(ProgramInfo::version());
    saved &= savePicture(about, dir.filePath(QStringLiteral("about.png")));
    return saved;
}

} // namespace

int main(int argc, char **argv)
{
    IgnoreWriteSignals();
    QApplication app(argc, argv);
    InstallQtChineseTranslation(app);
    const QString configurationFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    // The file dialogs' folders, kept beside the options for the next session.
    WidgetPrompts prompts(configurationFolder.isEmpty()
                              ? QString()
                              : DataFolderOf(configurationFolder) + QStringLiteral("DialogFolders.txt"));
    try {
        RequireLegacyCodec();
    } catch (const PluvionError &error) {
        ShowStandardError(prompts, nullptr, error.description());
        return 1;
    }

    MainWindowSetup setup;
    setup.prompts = &prompts;
    setup.configurationFolder = configurationFolder;
    setup.separators = Separators::fromSystem();

    MainWindow window(setup);
    window.show();

    // For the README and for looking at the layout, not for users: with
    // PLUVION_SCREENSHOT=FILE the window draws itself once into FILE and the
    // program ends; with PLUVION_SCREENSHOT_DIALOGS=FOLDER the window and
    // every dialog are drawn into FOLDER, one picture each.
    const QString screenshot = qEnvironmentVariable("PLUVION_SCREENSHOT");
    if (!screenshot.isEmpty()) {
        QCoreApplication::processEvents();
        window.findChild<StormChart *>(QStringLiteral("StormChart"))->replot();
        return window.grab().save(screenshot) ? 0 : 1;
    }
    const QString dialogs = qEnvironmentVariable("PLUVION_SCREENSHOT_DIALOGS");
    if (!dialogs.isEmpty()) {
        QCoreApplication::processEvents();
        return saveDialogPictures(window, dialogs) ? 0 : 1;
    }
    return app.exec();
}

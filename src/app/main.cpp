// Pluvion: the window program.
#include "app/QtTranslation.h"
#include "app/UnitPluvion.h"
#include "chart/StormChart.h"
#include "dialogs/UnitAbout.h"
#include "dialogs/UnitAddNewRainModel.h"
#include "dialogs/UnitFormulaFit.h"
#include "dialogs/UnitOptions.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "program/ProgramInfo.h"
#include "program/WriteSignals.h"
#include "ui/UserPrompts.h"

#include <QApplication>
#include <QDir>
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

// The window and each dialog at their default sizes, one PNG each in `folder`,
// for looking at the layout under the fonts of this machine.
bool saveDialogPictures(TFormPluvion &window, const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    const QDir dir(folder);
    bool saved = true;
    window.findChild<StormChart *>("Chart1")->replot();
    saved &= window.grab().save(dir.filePath(QStringLiteral("main-window.png")));
    // And at the smallest size the window allows.
    const QSize size = window.size();
    window.resize(window.minimumSize());
    QCoreApplication::processEvents();
    window.findChild<StormChart *>("Chart1")->replot();
    saved &= window.grab().save(dir.filePath(QStringLiteral("main-window-smallest.png")));
    window.resize(size);

    Storm storm = window.session().storm();
    TFormAddNewRainModel newStorm(storm, window.prompts(), window.separators(), &window);
    saved &= savePicture(newStorm, dir.filePath(QStringLiteral("new-storm.png")));

    TViewOptions options = window.session().options();
    TFormOptions optionsDialog(options, {}, &window);
    saved &= savePicture(optionsDialog, dir.filePath(QStringLiteral("options.png")));

    TFormFormulaFit formulaFit(window.prompts(), &window);
    saved &= savePicture(formulaFit, dir.filePath(QStringLiteral("formula-fit.png")));

    TFormAbout about;
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
    WidgetPrompts prompts;
    try {
        RequireLegacyCodec();
    } catch (const PluvionError &error) {
        ShowStandardError(prompts, nullptr, error.description());
        return 1;
    }

    PluvionSetup setup;
    setup.prompts = &prompts;
    setup.configurationFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    setup.separators = Separators::fromSystem();

    TFormPluvion window(setup);
    window.show();

    // pluvion --screenshot FILE: draw the window once and save it as a picture
    // (the README's screenshot is made this way, offscreen).
    const QStringList arguments = app.arguments();
    const qsizetype screenshot = arguments.indexOf(QStringLiteral("--screenshot"));
    if (screenshot > 0 && screenshot + 1 < arguments.size()) {
        QCoreApplication::processEvents();
        window.findChild<StormChart *>("Chart1")->replot();
        return window.grab().save(arguments[screenshot + 1]) ? 0 : 1;
    }
    // pluvion --screenshot-dialogs DIR: the window and every dialog, one picture each.
    const qsizetype dialogs = arguments.indexOf(QStringLiteral("--screenshot-dialogs"));
    if (dialogs > 0 && dialogs + 1 < arguments.size()) {
        QCoreApplication::processEvents();
        return saveDialogPictures(window, arguments[dialogs + 1]) ? 0 : 1;
    }
    return app.exec();
}

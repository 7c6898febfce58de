// Pluvion: the window program.
#include "app/QtTranslation.h"
#include "app/UnitPluvion.h"
#include "chart/StormChart.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "support/WriteSignals.h"
#include "ui/UserPrompts.h"

#include <QApplication>
#include <QStandardPaths>

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
    return app.exec();
}

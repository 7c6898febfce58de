// Entry of the window tests: a QApplication on the offscreen platform, the
// C locale for numbers, and a private configuration folder so that no test
// reads or writes the user's own options.
#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    QStandardPaths::setTestModeEnabled(false);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("pluvion"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

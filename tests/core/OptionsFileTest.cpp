#include "TempFolder.h"
#include "io/ViewOptions.h"
#include "model/PluvionError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

namespace {

// The ten keys with the default values, in the order a new file lists them.
QByteArray defaultKeys(const char *eol)
{
    QByteArray keys;
    for (const char *line : {"ShowLabel_P=1", "ShowLabel_T=1", "ShowLabel_R=1",
                             "ShowLabel__Overall_Rainfall=1", "ShowLabel_Average=1", "ShowAxis_Overall=1",
                             "ShowAxis_Intensity=1", "CalcByShow=0", "Precision=4", "TimeFormat=0"}) {
        keys += line;
        keys += eol;
    }
    return keys;
}

class OptionsFileTest : public TempFolderTest
{
protected:
    QString filePath(const QString &name = QStringLiteral("options.ini")) const { return path(name); }
};

TEST_F(OptionsFileTest, MissingFileGivesDefaultsAndFirstSaveListsTheTenKeys)
{
    ViewOptions options;
    options.ShowLabel_P = false;
    options.CalcByShow = true;
    options.Precision = 9;
    options.TimeFormat = TimeColumn::Minutes;
    LoadOptions(options, filePath());
    EXPECT_EQ(options, ViewOptions());

    SaveOptions(options, filePath());
    EXPECT_EQ(readBytes(filePath()), "[OPTIONS]\r\n" + defaultKeys("\r\n"));
}

TEST_F(OptionsFileTest, SavedOptionsLoadBack)
{
    ViewOptions saved;
    saved.ShowLabel_P = false;
    saved.ShowLabel__Overall_Rainfall = false;
    saved.ShowAxis_Intensity = false;
    saved.CalcByShow = true;
    saved.Precision = -3;
    saved.TimeFormat = TimeColumn::Minutes;
    SaveOptions(saved, filePath());

    ViewOptions loaded;
    LoadOptions(loaded, filePath());
    EXPECT_EQ(loaded, saved);
}

TEST_F(OptionsFileTest, FormulaDepthKeyIsWrittenOnlyOnceItMatters)
{
    // Off: the key follows the ten; back on: it stays, now 1; a file saved
    // with the label on from the start never gains it.
    ViewOptions options;
    options.ShowLabel_Formula_Depth = false;
    SaveOptions(options, filePath());
    EXPECT_EQ(readBytes(filePath()), "[OPTIONS]\r\n" + defaultKeys("\r\n") + "ShowLabel_Formula_Depth=0\r\n");
    ViewOptions loaded;
    LoadOptions(loaded, filePath());
    EXPECT_FALSE(loaded.ShowLabel_Formula_Depth);

    options.ShowLabel_Formula_Depth = true;
    SaveOptions(options, filePath());
    EXPECT_EQ(readBytes(filePath()), "[OPTIONS]\r\n" + defaultKeys("\r\n") + "ShowLabel_Formula_Depth=1\r\n");
    LoadOptions(loaded, filePath());
    EXPECT_TRUE(loaded.ShowLabel_Formula_Depth);

    SaveOptions(ViewOptions(), filePath(QStringLiteral("fresh.ini")));
    EXPECT_EQ(readBytes(filePath(QStringLiteral("fresh.ini"))), "[OPTIONS]\r\n" + defaultKeys("\r\n"));
}

TEST_F(OptionsFileTest, WriteKeepsForeignLinesAndRewritesKeysInPlace)
{
    // LF line ends, a comment in GBK bytes, the same key in another section,
    // our section in lower case with a spaced lower-case key, and a section after ours.
    writeBytes(filePath(), "; Pluvion \xb2\xe2\xca\xd4\n"
                           "[Other]\n"
                           "Precision=77\n"
                           "\n"
                           "[options]\n"
                           "  precision = 9 \n"
                           "; keep this note\n"
                           "SHOWLABEL_T=0\n"
                           "Extra = keep me \n"
                           "\n"
                           "[Tail]\n"
                           "a=b");
    ViewOptions options;
    LoadOptions(options, filePath());
    ViewOptions expected;
    expected.Precision = 9;
    expected.ShowLabel_T = false;
    EXPECT_EQ(options, expected);

    options.Precision = 12;
    options.ShowLabel_T = true;
    options.TimeFormat = TimeColumn::Minutes;
    SaveOptions(options, filePath());
    EXPECT_EQ(readBytes(filePath()), QByteArray("; Pluvion \xb2\xe2\xca\xd4\n"
                                                "[Other]\n"
                                                "Precision=77\n"
                                                "\n"
                                                "[options]\n"
                                                "precision=12\n"
                                                "; keep this note\n"
                                                "SHOWLABEL_T=1\n"
                                                "Extra = keep me \n"
                                                "ShowLabel_P=1\n"
                                                "ShowLabel_R=1\n"
                                                "ShowLabel__Overall_Rainfall=1\n"
                                                "ShowLabel_Average=1\n"
                                                "ShowAxis_Overall=1\n"
                                                "ShowAxis_Intensity=1\n"
                                                "CalcByShow=0\n"
                                                "TimeFormat=1\n"
                                                "\n"
                                                "[Tail]\n"
                                                "a=b"));

    ViewOptions reloaded;
    LoadOptions(reloaded, filePath());
    EXPECT_EQ(reloaded, options);
}

TEST_F(OptionsFileTest, MissingSectionIsAppendedAfterAnUnterminatedLastLine)
{
    writeBytes(filePath(), "[Other]\r\nx=1");
    SaveOptions(ViewOptions(), filePath());
    EXPECT_EQ(readBytes(filePath()), "[Other]\r\nx=1\r\n[OPTIONS]\r\n" + defaultKeys("\r\n"));
}

TEST_F(OptionsFileTest, KeysAddedInALoneCrFileKeepAFollowingEmptyLfLine)
{
    // The new lines take the file's first line end, a lone CR; one of them
    // right before an empty line ended by a lone LF must not fuse with it
    // into a CR LF, which would drop that empty line.
    writeBytes(filePath(), "; note\r[OPTIONS]\rPrecision=9\r\n\n[Tail]\ra=b");
    SaveOptions(ViewOptions(), filePath());
    EXPECT_EQ(readBytes(filePath()),
              QByteArray("; note\r[OPTIONS]\rPrecision=4\r\n"
                         "ShowLabel_P=1\r\nShowLabel_T=1\r\nShowLabel_R=1\r\n"
                         "ShowLabel__Overall_Rainfall=1\r\nShowLabel_Average=1\r\n"
                         "ShowAxis_Overall=1\r\nShowAxis_Intensity=1\r\nCalcByShow=0\r\n"
                         "TimeFormat=0\r\n\n[Tail]\ra=b"));
}

TEST_F(OptionsFileTest, ValueForms)
{
    struct Case
    {
        const char *line;
        std::function<void(ViewOptions &)> expect; // applied to the defaults
    };
    const Case cases[] = {
        {"Precision=0x0A", [](ViewOptions &o) { o.Precision = 10; }},
        {"Precision=0Xff", [](ViewOptions &o) { o.Precision = 255; }},
        {"Precision=$1F", [](ViewOptions &o) { o.Precision = 31; }},
        {"Precision=  +7  ", [](ViewOptions &o) { o.Precision = 7; }},
        {"Precision=150", [](ViewOptions &o) { o.Precision = 150; }},
        {"Precision=-3", [](ViewOptions &o) { o.Precision = -3; }},
        {"Precision=-2147483648", [](ViewOptions &o) { o.Precision = INT32_MIN; }},
        {"Precision=\"8\"", [](ViewOptions &o) { o.Precision = 8; }},
        {"Precision=abc", [](ViewOptions &) {}},
        {"Precision=", [](ViewOptions &) {}},
        {"Precision=0x", [](ViewOptions &) {}},
        {"Precision=$", [](ViewOptions &) {}},
        {"Precision=1.5", [](ViewOptions &) {}},
        {"Precision=1 0", [](ViewOptions &) {}},
        {"Precision=2147483648", [](ViewOptions &) {}},
        {"Precision=$80000000", [](ViewOptions &) {}},
        {"TimeFormat=1", [](ViewOptions &o) { o.TimeFormat = TimeColumn::Minutes; }},
        {"ShowLabel_P=0", [](ViewOptions &o) { o.ShowLabel_P = false; }},
        {"ShowLabel_P=2", [](ViewOptions &) {}},
        {"ShowLabel_P=-1", [](ViewOptions &) {}},
        {"ShowLabel_P=true", [](ViewOptions &) {}},
        {"CalcByShow=1", [](ViewOptions &o) { o.CalcByShow = true; }},
        {"CalcByShow=yes", [](ViewOptions &) {}},
        {"ShowLabel_Overall_Rainfall=0", [](ViewOptions &) {}},
        {"ShowLabel__Overall_Rainfall=0", [](ViewOptions &o) { o.ShowLabel__Overall_Rainfall = false; }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        writeBytes(filePath(), QByteArray("[OPTIONS]\r\n") + c.line + "\r\n");
        ViewOptions expected;
        c.expect(expected);
        ViewOptions loaded;
        loaded.Precision = 55; // a loaded key must not keep the record's old value
        LoadOptions(loaded, filePath());
        EXPECT_EQ(loaded, expected);
    }
}

TEST_F(OptionsFileTest, FailedWriteReportsThePathAndLeavesTheRecord)
{
    writeBytes(filePath(QStringLiteral("plain")), "x");
    const QString paths[] = {m_dir.path(), filePath(QStringLiteral("plain/options.ini"))};
    for (const QString &path : paths) {
        SCOPED_TRACE(path.toStdString());
        ViewOptions options;
        options.Precision = 7;
        try {
            SaveOptions(options, path);
            ADD_FAILURE() << "no error raised";
        } catch (const PluvionError &error) {
            EXPECT_TRUE(error.description().startsWith(QStringLiteral("Unable to write to ") + path))
                << error.description().toStdString();
        }
        EXPECT_EQ(options.Precision, 7);
    }
    EXPECT_EQ(readBytes(filePath(QStringLiteral("plain"))), "x");
}

#if defined(Q_OS_UNIX)
TEST_F(OptionsFileTest, WriteCutShortLeavesTheOldFileWhole)
{
    // A file-size limit holds for every user, root included: the new content
    // cannot be written in full, as on a full disk.
    const QByteArray old = "; mine\r\n[OPTIONS]\r\nPrecision=6\r\n";
    writeBytes(filePath(), old);

    QString message;
    {
        const FileSizeLimit limit(64);
        ASSERT_TRUE(limit.active());
        message = ErrorOf([&] { SaveOptions(ViewOptions(), filePath()); });
    }

    EXPECT_TRUE(message.startsWith(QStringLiteral("Unable to write to ") + filePath()))
        << message.toStdString();
    EXPECT_EQ(readBytes(filePath()), old);
    EXPECT_EQ(filesInDir(), QStringList{QStringLiteral("options.ini")});
}
#endif

} // namespace

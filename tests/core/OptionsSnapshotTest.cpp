#include "io/OptionsSnapshot.h"

#include "TempFolder.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A file as people leave it: other programs' sections before and after,
// mixed line ends, odd spacing and case, a GBK comment, no end at the last line.
const QByteArray kHandEditedFile = "[Window]\r\nLeft=10\r\n"
                                   "[options]\n"
                                   "; \xb1\xa3\xc1\xf4\r\n"
                                   "  showlabel_p = 0\r\n"
                                   "Precision=0x0A\r\n"
                                   "TimeFormat=7\r\n"
                                   "[Recent]\r\nFile1=C:\\a.txt";

// The live preview's changes, as the series switches save them.
ViewOptions previewed(ViewOptions options)
{
    options.ShowLabel_T = false;
    options.ShowAxis_Intensity = false;
    options.Precision = 6;
    return options;
}

class OptionsSnapshotTest : public TempFolderTest
{
protected:
    QString filePath() const { return path(QStringLiteral("options.ini")); }
};

TEST_F(OptionsSnapshotTest, RestorePutsBackTheExactBytesAndTheRecord)
{
    writeBytes(filePath(), kHandEditedFile);
    ViewOptions options;
    LoadOptions(options, filePath());
    // The record may have drifted from the file (a switch whose save failed).
    options.ShowAxis_Overall = false;
    const ViewOptions opened = options;

    const OptionsSnapshot snapshot(options, filePath());
    options = previewed(options);
    SaveOptions(options, filePath());
    ASSERT_NE(readBytes(filePath()), kHandEditedFile);

    snapshot.restore(options);
    EXPECT_EQ(readBytes(filePath()), kHandEditedFile);
    EXPECT_EQ(options, opened);

    // The rejected dialog takes the same way back.
    options = previewed(options);
    SaveOptions(options, filePath());
    KeepOrRevertOptions(false, options, snapshot);
    EXPECT_EQ(readBytes(filePath()), kHandEditedFile);
    EXPECT_EQ(options, opened);
}

TEST_F(OptionsSnapshotTest, AMissingFileStaysMissing)
{
    ViewOptions options;
    const OptionsSnapshot snapshot(options, filePath());
    options = previewed(options);
    SaveOptions(options, filePath());
    ASSERT_TRUE(QFileInfo::exists(filePath()));

    KeepOrRevertOptions(false, options, snapshot);
    EXPECT_FALSE(QFileInfo::exists(filePath()));
    EXPECT_EQ(options, ViewOptions());

    // Nothing written meanwhile: still nothing there, and no failure.
    snapshot.restore(options);
    EXPECT_FALSE(QFileInfo::exists(filePath()));
}

TEST_F(OptionsSnapshotTest, AcceptedDialogSavesAndReloads)
{
    writeBytes(filePath(), kHandEditedFile);
    ViewOptions options;
    LoadOptions(options, filePath());
    const OptionsSnapshot snapshot(options, filePath());
    options = previewed(options);
    const ViewOptions chosen = options;

    KeepOrRevertOptions(true, options, snapshot);

    ViewOptions reloaded;
    LoadOptions(reloaded, filePath());
    EXPECT_EQ(reloaded, chosen);
    EXPECT_EQ(options, chosen);
    const QByteArray bytes = readBytes(filePath());
    EXPECT_TRUE(bytes.startsWith("[Window]\r\nLeft=10\r\n[options]\n; \xb1\xa3\xc1\xf4\r\n"));
    EXPECT_TRUE(bytes.contains("Precision=6\r\n"));
    EXPECT_TRUE(bytes.endsWith("[Recent]\r\nFile1=C:\\a.txt"));
}

TEST_F(OptionsSnapshotTest, FailuresAreReportedWithThePath)
{
    // OK: the save fails, and nothing is reloaded (a reload from a file that
    // cannot be read would give the defaults).
    QDir(m_dir.path()).mkdir(QStringLiteral("options.ini"));
    ViewOptions options;
    const OptionsSnapshot atFolder(options, filePath());
    options = previewed(options);
    try {
        KeepOrRevertOptions(true, options, atFolder);
        ADD_FAILURE() << "no failure";
    } catch (const PluvionError &e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("Unable to write to ") + filePath()))
            << e.description().toStdString();
    }
    EXPECT_EQ(options, previewed(ViewOptions()));

    // Cancel: the file cannot be put back; the record is back all the same.
    const QString gone = m_dir.filePath(QStringLiteral("gone/options.ini"));
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("gone")));
    writeBytes(gone, kHandEditedFile);
    ViewOptions opened;
    opened.Precision = 3;
    options = opened;
    const OptionsSnapshot snapshot(options, gone);
    options = previewed(options);
    ASSERT_TRUE(QDir(m_dir.filePath(QStringLiteral("gone"))).removeRecursively());
    try {
        KeepOrRevertOptions(false, options, snapshot);
        ADD_FAILURE() << "no failure";
    } catch (const PluvionError &e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("Unable to write to ") + gone))
            << e.description().toStdString();
    }
    EXPECT_EQ(options, opened);
}

} // namespace

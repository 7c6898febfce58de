// Every file the program writes, written to a full file system: the write
// fails with the program's message and what was there before stays intact,
// with no stray temporary files. The file system is a small tmpfs mounted for
// the test; where mounting is not allowed (not root, no mount namespace) the
// tests are skipped and say why.
#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/DataDocument.h"
#include "export/PictureFiles.h"
#include "io/FileBytes.h"
#include "io/StormFile.h"
#include "io/ViewOptions.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {

class FullDiskTest : public ::testing::Test
{
protected:
    QTemporaryDir base;
    QString disk;
    bool mounted = false;

    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "mounting a small file system needs root";
        disk = base.filePath(QStringLiteral("disk"));
        QDir().mkpath(disk);
        if (mount("tmpfs", disk.toLocal8Bit().constData(), "tmpfs", 0, "size=256k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
        mounted = true;
    }
    void TearDown() override
    {
        if (mounted)
            umount2(disk.toLocal8Bit().constData(), MNT_DETACH);
    }

    QString path(const char *name) const { return disk + u'/' + QString::fromUtf8(name); }

    // Writes `previous` to the target, then fills the file system to the last byte.
    void prepare(const QString &target, const QByteArray &previous)
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        ASSERT_EQ(old.write(previous), previous.size());
        old.close();
        QFile filler(path("filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size()) {
        }
        while (filler.write("x", 1) == 1) {
        }
    }

    void expectFailureKeepsPrevious(const char *name, const std::function<void(const QString &)> &write,
                                    const QString &messageStart)
    {
        SCOPED_TRACE(name);
        const QString target = path(name);
        const QByteArray previous = QByteArrayLiteral("the file as it was before\r\n");
        prepare(target, previous);
        try {
            write(target);
            ADD_FAILURE() << "the write reported success on a full disk";
        } catch (const PluvionError &error) {
            EXPECT_TRUE(error.description().startsWith(messageStart)) << error.description().toStdString();
            EXPECT_TRUE(error.description().contains(QString::fromUtf8(name)))
                << error.description().toStdString();
        }
        QFile file(target);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), previous);
        QStringList left = QDir(disk).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        left.sort();
        QStringList expected{QStringLiteral("filler"), QString::fromUtf8(name)};
        expected.sort();
        EXPECT_EQ(left.join(u' ').toStdString(), expected.join(u' ').toStdString());
        QFile::remove(path("filler"));
        QFile::remove(target);
    }
};

TableRows startUpRows(RainPoints &points, Storm &storm)
{
    storm = StartUpStorm();
    CalcRainPoints(storm, points, false, 4);
    TableRows rows;
    for (const RainPoint &point : points) {
        const auto cells = RowTexts(point, 0, 4);
        rows.append({cells[0], cells[1], cells[2]});
    }
    return rows;
}

TEST_F(FullDiskTest, EveryWriterFailsCleanly)
{
    Storm storm;
    RainPoints points;
    const TableRows rows = startUpRows(points, storm);
    RgbImage picture;
    picture.width = 300;
    picture.height = 200;
    picture.pixels = QByteArray(300 * 200 * 3, char(200));

    expectFailureKeepsPrevious(
        "storm.txt", [&](const QString &target) { WriteStormFile(target, storm, Separators{}); },
        CannotCreateFileMessage(path("storm.txt"), {}));
    expectFailureKeepsPrevious(
        "options.ini", [&](const QString &target) { SaveOptions(ViewOptions{}, target); },
        QStringLiteral("Unable to write to %1").arg(path("options.ini")));
    expectFailureKeepsPrevious(
        "data.csv", [&](const QString &target) { WriteCsvFile(target, rows, 0); },
        CannotCreateFileMessage(path("data.csv"), {}));
    expectFailureKeepsPrevious(
        "data.docx", [&](const QString &target) { WriteDataDocument(target, rows, 1); }, QString());
    expectFailureKeepsPrevious(
        "report.docx",
        [&](const QString &target) {
            WriteCalcReport(target, storm, 4, rows, 1, EncodePicture(picture, PictureType::Png));
        },
        QString());
    for (const char *name : {"chart.bmp", "chart.png", "chart.jpg"}) {
        expectFailureKeepsPrevious(
            name, [&](const QString &target) { SaveChartPicture(target, picture); },
            CannotCreateFileMessage(path(name), {}));
    }
}

} // namespace

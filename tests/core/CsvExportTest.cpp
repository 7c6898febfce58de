#include "export/CsvExport.h"

#include "TempFolder.h"
#include "export/ExportTarget.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

// GBK bytes of the two header lines.
const QByteArray GbkClockHeader =
    QByteArray::fromHex("cab1bce42848483a4d4d292cbdb5d3eac7bfb6c8286d6d2f6d696e292cbdb5d3ead7dcc1bf286d6d29");
const QByteArray GbkMinuteHeader =
    QByteArray::fromHex("cab1bce4286d696e292cbdb5d3eac7bfb6c8286d6d2f6d696e292cbdb5d3ead7dcc1bf286d6d29");

using CsvExportTest = TempFolderTest;

// A table in a comma-decimal locale, one cell edited by the user with a
// quote, one with a Chinese text; written over a longer previous file.
TEST_F(CsvExportTest, SmallTableIsWrittenAsGbkLinesWithCrLfAndQuotedCells)
{
    writeBytes("data.csv", QByteArray(4096, 'x'));
    const TableRows rows = {
        {"00:00", "0,1234", "0,1234"},
        {"00:01", "1.5", "say \"hi\""},
        {"00:02", "雨", "3"},
    };

    WriteCsvFile(path("data.csv"), rows, 0);

    const QByteArray expected = GbkClockHeader + "\r\n" +
                                "00:00,\"0,1234\",\"0,1234\"\r\n"
                                "00:01,1.5,\"say \"\"hi\"\"\"\r\n"
                                "00:02,\xD3\xEA,3\r\n";
    EXPECT_EQ(readBytes("data.csv"), expected);
    EXPECT_EQ(filesInDir(), QStringList({"data.csv"}));

    // The device form writes the same bytes.
    QBuffer buffer;
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly));
    WriteCsv(buffer, rows, 0);
    EXPECT_EQ(buffer.data(), expected);
}

TEST(CsvLinesTest, HeaderFollowsTheTimeFormat)
{
    const TableRows rows = {{"05", "0.1", "0.1"}, {"06", "0.2", "0.3"}};
    struct Case
    {
        int timeFormat;
        QByteArray header; // empty: no header line
    };
    const Case cases[] = {{0, GbkClockHeader}, {1, GbkMinuteHeader}, {2, {}}, {-1, {}}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.timeFormat);
        const QByteArray body = "05,0.1,0.1\r\n06,0.2,0.3\r\n";
        EXPECT_EQ(CsvBytes(rows, c.timeFormat), c.header.isEmpty() ? body : c.header + "\r\n" + body);
    }
    EXPECT_EQ(CsvBytes({}, 2), QByteArray());
}

TEST(CsvLinesTest, CellsAreQuotedOnlyWhenTheyHoldASeparatorQuoteOrLineBreak)
{
    const std::pair<QString, QString> cases[] = {
        {"", ""},
        {"12.3456", "12.3456"},
        {" 2 ", " 2 "},
        {"1,5", "\"1,5\""},
        {"a\"b", "\"a\"\"b\""},
        {"\"", "\"\"\"\""},
        {"a\nb", "\"a\nb\""},
        {"a\rb", "\"a\rb\""},
        {"a;b\tc", "a;b\tc"},
    };
    for (const auto &[cell, field] : cases) {
        SCOPED_TRACE(cell.toStdString());
        EXPECT_EQ(CsvField(cell), field);
    }
}

TEST(CsvNamesTest, TargetTakesTheCsvExtensionInPlaceOfTheLastOne)
{
    const std::pair<QString, QString> cases[] = {
        {"data", "data.csv"},
        {"data.txt", "data.csv"},
        {"data.docx", "data.csv"}, // "Word文件" selected: still CSV text under a .csv name
        {"data.CSV", "data.csv"},
        {"data.", "data.csv"},
        {"a.b.c", "a.b.csv"},
        {"芝加哥雨型计算数据P=2年 t=120分 r=0.4", "芝加哥雨型计算数据P=2年 t=120分 r=0.csv"},
        {"/home/u/v1.2/data", "/home/u/v1.2/data.csv"},
        {"/home/u/v1.2/.data", "/home/u/v1.2/.csv"},
    };
    for (const auto &[chosen, target] : cases) {
        SCOPED_TRACE(chosen.toStdString());
        EXPECT_EQ(CsvTargetPath(chosen), target);
    }
}

TEST(CsvNamesTest, ProposedNameAndDialog)
{
    Storm storm = StartUpStorm();
    EXPECT_EQ(CsvProposedName(storm, Separators{}),
              QStringLiteral("芝加哥雨型计算数据P=2年 t=120分 r=0.4.csv"));
    storm.period = 0.5;
    storm.duration = 1440;
    storm.peakRatio = 0.375;
    EXPECT_EQ(CsvProposedName(storm, Separators{u',', u'.'}),
              QStringLiteral("芝加哥雨型计算数据P=0,5年 t=1440分 r=0,375.csv"));

    EXPECT_EQ(DataSaveDialogTitle(), QStringLiteral("保存曲线数据"));
    EXPECT_EQ(DataSaveDialogFilters(), QStringList({"Excel文件(*.csv)", "Word文件(*.docx)"}));
    EXPECT_EQ(QStringLiteral("没有数据可以保存~\r\n点击“添加”按钮，添加新曲线"),
              QStringLiteral("没有数据可以保存~\r\n点击“添加”按钮，添加新曲线"));
}

TEST_F(CsvExportTest, ReplaceQuestionOnlyForAnotherExistingFile)
{
    writeBytes("data.csv", "old");
    EXPECT_TRUE(TargetNeedsReplaceQuestion(path("data.txt"), path("data.csv")));
    EXPECT_TRUE(TargetNeedsReplaceQuestion(path("data"), path("data.csv")));
    EXPECT_FALSE(TargetNeedsReplaceQuestion(path("data.csv"), path("data.csv")));
    EXPECT_FALSE(TargetNeedsReplaceQuestion(path("data.csv"), path("./data.csv")));
    EXPECT_FALSE(TargetNeedsReplaceQuestion(path("other.txt"), path("other.csv")));
}

TEST_F(CsvExportTest, FailedWriteIsReportedAndLeavesWhatWasThere)
{
    writeBytes("plain", "previous");
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("folder.csv/inside"));
    const TableRows rows = {{"00:00", "1", "1"}};

    for (const QString &name : {QStringLiteral("missing/data.csv"), QStringLiteral("plain/data.csv"),
                                QStringLiteral("folder.csv")}) {
        SCOPED_TRACE(name.toStdString());
        const QString expected = CannotCreateFileMessage(path(name), WriteFailureReason(name));

        EXPECT_EQ(ErrorOf([&] { WriteCsvFile(path(name), rows, 0); }), expected);
    }
    EXPECT_EQ(readBytes("plain"), "previous");
    EXPECT_TRUE(QFileInfo(path("folder.csv/inside")).isDir());
    EXPECT_EQ(filesInDir(), QStringList({"plain"}));

    // A device that takes no bytes is reported too.
    QBuffer readOnly;
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    EXPECT_NE(ErrorOf([&] { WriteCsv(readOnly, rows, 0); }), QStringLiteral("<no error>"));
}

#ifdef Q_OS_UNIX
// A write that breaks off midway (here: a file-size limit, which binds root
// too) must not cost the user the file that was there before.
TEST_F(CsvExportTest, WriteThatBreaksOffKeepsThePreviousFile)
{
    writeBytes("data.csv", "previous");
    const TableRows rows(200, {"00:00", "0.1234", "0.1234"});

    QString error;
    {
        const FileSizeLimit limit(64);
        ASSERT_TRUE(limit.active());
        error = ErrorOf([&] { WriteCsvFile(path("data.csv"), rows, 0); });
    }

    const QString prefix = CannotCreateFileMessage(path("data.csv"), {});
    EXPECT_TRUE(error.startsWith(prefix) && error.size() > prefix.size()) << error.toStdString();
    EXPECT_EQ(readBytes("data.csv"), "previous");
    EXPECT_EQ(filesInDir(), QStringList({"data.csv"}));
}
#endif

} // namespace

// A table several pieces long, read from a source row by row: the bytes
// written in pieces equal the whole table's lines encoded at once, whatever
// piece a Chinese cell or a quoted cell falls in, and the computed rows read
// from the points equal their texts formed at once.
TEST_F(CsvExportTest, LongTablesAreWrittenInPiecesWithTheSameBytes)
{
    RainPoints points;
    for (int k = 0; k < 10000; ++k)
        points.push_back({double(k), 0.001 * k + 0.00005, 1.0 / 3 * k});
    for (const Separators sep : {Separators{}, Separators{u',', u'.'}}) {
        const PointRows computed(points, 0, 4, sep);
        TableRows rows = TableTexts(points, 0, 4, sep);
        ASSERT_EQ(TableTexts(computed), rows);
        rows[4095][1] = QStringLiteral("雨");
        rows[4096][2] = QStringLiteral("say \"hi\"");
        rows[9999][1] = QStringLiteral("末");
        const QByteArray expected = EncodeLegacyLines(CsvLines(rows, 0));

        int pieces = 0;
        QByteArray streamed;
        StreamCsv(ListedRows(rows), 0, [&](QByteArrayView piece) {
            ++pieces;
            streamed += piece;
        });
        EXPECT_EQ(streamed, expected);
        EXPECT_GT(pieces, 2);
        WriteCsvFile(path("long.csv"), ListedRows(rows), 0);
        EXPECT_EQ(readBytes("long.csv"), expected);
    }
}

// The computed rows are written straight as bytes when every cell is plain
// ASCII; whichever way they go, the file is the one their texts make, for
// every time format and separator (a decimal comma is quoted, a non-ASCII
// separator goes through the encoder) and for awkward values.
TEST(CsvComputedRowsTest, WrittenAsTheirTextsWhateverTheSeparators)
{
    RainPoints points;
    for (int k = 0; k < 9000; ++k)
        points.push_back({double(k * 7), 0.001 * k + 0.00005, 1.0 / 3 * k});
    for (const double odd : {-0.00004, 1e20, 123456789012.34567, -0.0, std::nan(""), -HUGE_VAL})
        points.push_back({double(points.size()), odd, odd});
    const Separators separators[] = {{}, {u',', u':'}, {u'.', u','}, {u'٫', u'.'}, {u'.', u'时'}};
    for (const Separators &sep : separators) {
        for (const int timeFormat : {0, 1, 2}) {
            for (const int precision : {0, 4, 19}) {
                const PointRows computed(points, timeFormat, precision, sep);
                const QByteArray expected =
                    EncodeLegacyLines(CsvLines(TableTexts(points, timeFormat, precision, sep), timeFormat));
                QByteArray streamed;
                StreamCsv(computed, timeFormat, [&](QByteArrayView piece) { streamed += piece; });
                EXPECT_EQ(streamed, expected)
                    << "separators " << QString(sep.decimal).toStdString() << QString(sep.time).toStdString()
                    << ", time format " << timeFormat << ", precision " << precision;
            }
        }
    }
    EXPECT_TRUE(PointRows(points, 0, 4, Separators{}).hasPlainRows());
    EXPECT_FALSE(PointRows(points, 0, 4, Separators{u',', u':'}).hasPlainRows());
}

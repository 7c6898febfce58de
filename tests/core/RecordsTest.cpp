// Rain-gauge records: reading the files people have, merging them, each
// year's completeness, the sliding-window samples against a brute-force
// count, and the peak ratio against a hand count.
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "records/PeakRatio.h"
#include "records/RecordSummary.h"

#include <TempFolder.h>
#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <random>

namespace {

RecordRows Parse(const QByteArray &bytes, const RecordFormat &format = {})
{
    return ParseRecordBytes(bytes, QStringLiteral("a.csv"), format);
}

RecordFormat Columns(const char *text)
{
    RecordFormat format;
    format.columns = ParseRecordColumns(QString::fromUtf8(text));
    return format;
}

RecordRows Rows(const QString &file, std::vector<std::int32_t> minutes, std::vector<std::int32_t> depths)
{
    RecordRows rows;
    rows.file = file;
    rows.minutes = std::move(minutes);
    rows.depths = std::move(depths);
    rows.noteLine(0, 1);
    return rows;
}

} // namespace

TEST(RecordsTest, ReadsEveryTimestampFormAndLayout)
{
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 5);
    ASSERT_EQ(RecordMinute(1970, 1, 1, 0, 0), 0);
    EXPECT_EQ(RecordTimeText(t), QStringLiteral("2019-07-21 14:05"));
    EXPECT_EQ(RecordTimeText(RecordMinute(2000, 2, 29, 23, 59) + 1), QStringLiteral("2000-03-01 00:00"));
    const struct
    {
        const char *bytes;
        const char *columns;
    } cases[] = {
        {"2019-07-21 14:05,0.5\n", ""},
        {"2019/7/21 14:05,0.5\r\n", ""},
        {"201907211405\t0.5\n", ""},
        {"2019-07-21T14:05:00,0.5", ""},
        {"\"2019-07-21 14:05\",\"0.5\"\n", ""},
        {"2019-07-21 14:05   0.5\n", ""},
        {"\xEF\xBB\xBFtime,depth\n2019-07-21 14:05,0.5\n", ""},
        {"站号,日期时间,降雨量(mm)\n58362,2019-07-21 14:05,0.5\n", ""},
        {"year month day hour minute rain\n2019 7 21 14 5 0.5\n", ""},
        {"站号 年 月 日 时 分 雨量\n58362 2019 7 21 14 5 0.5\n", ""},
        {"58362,2019,7,21,14,5,0.5\n", "-,year,month,day,hour,minute,depth"},
        {"雨量,时间\n0.5,2019-07-21 14:05\n", "雨量,时间"},
        {"time,depth\r2019-07-21 14:05,0.5\r", ""}, // old Mac line ends
    };
    for (const auto &c : cases) {
        const RecordRows rows = Parse(c.bytes, *c.columns ? Columns(c.columns) : RecordFormat{});
        ASSERT_EQ(rows.minutes.size(), 1u) << c.bytes;
        EXPECT_EQ(rows.minutes[0], t) << c.bytes;
        EXPECT_EQ(rows.depths[0], 500) << c.bytes;
    }
    // A GBK header naming tenths of a millimetre in full-width brackets.
    const RecordRows gbk =
        Parse(EncodeLegacyLines({QStringLiteral("时间,雨量（0.1mm）"), QStringLiteral("2019-07-21 14:05,12"),
                                 QStringLiteral("2019-07-21 14:06,0")}));
    EXPECT_EQ(gbk.depths, (std::vector<std::int32_t>{1200, 0}));
    EXPECT_EQ(gbk.line(0), 2);
    EXPECT_EQ(gbk.line(1), 3);

    // The first and last years a record may name.
    const RecordRows ends = Parse("1800-01-01 00:00,1\n2200-12-31 23:59,2\n");
    EXPECT_EQ(ends.minutes, (std::vector<std::int32_t>{RecordMinute(1800, 1, 1, 0, 0),
                                                       RecordMinute(2200, 12, 31, 23, 59)}));
    EXPECT_EQ(RecordTimeText(ends.minutes[1]), QStringLiteral("2200-12-31 23:59"));
}

TEST(RecordsTest, TheHeaderNamesTheUnitUnlessTheUserDid)
{
    const std::optional<RecordUnit> none;
    const RecordUnit mm = RecordUnit::Millimetre;
    const RecordUnit tenths = RecordUnit::TenthMillimetre;
    const struct
    {
        const char *header;
        std::optional<RecordUnit> given;
        const char *columns;
        std::int32_t depth;      // of the row "2019-07-21 14:05,12"; 0: refused
        const char16_t *message; // the refusal
    } cases[] = {
        {"时间,雨量(0.1mm)", none, "", 1200, nullptr},
        {"时间,雨量(0.1 mm)", none, "", 1200, nullptr},
        {"时间,雨量（0.1mm）", none, "", 1200, nullptr},
        {"时间,降雨量[0.1毫米]", none, "", 1200, nullptr},
        {"时间,雨量(0.1mm)", tenths, "", 1200, nullptr},
        {"time,depth(0.1mm)", none, "time,depth", 1200, nullptr},
        {"时间,雨量(mm)", none, "", 12000, nullptr},
        {"时间,雨量（毫米）", mm, "", 12000, nullptr},
        {"时间,雨量", none, "", 12000, nullptr},
        {"时间,雨量", tenths, "", 1200, nullptr},
        {"时间,雨量(mm/min)", none, "", 12000, nullptr}, // not a unit of depth: as if none were named
        {"时间(北京时),雨量(0.1mm)", none, "", 1200, nullptr},
        {"时间,雨量(0.1mm)", mm, "", 0, u"文件 a.csv 的表头注明雨量单位为 0.1mm，与指定的单位 mm 不符"},
        {"时间,雨量(毫米)", tenths, "", 0, u"文件 a.csv 的表头注明雨量单位为 mm，与指定的单位 0.1mm 不符"},
    };
    for (const auto &c : cases) {
        RecordFormat format = *c.columns ? Columns(c.columns) : RecordFormat{};
        format.unit = c.given;
        const QByteArray bytes = QByteArray(c.header) + "\n2019-07-21 14:05,12\n";
        if (c.message) {
            EXPECT_EQ(ErrorOf([&] { Parse(bytes, format); }), QString::fromUtf16(c.message)) << c.header;
            continue;
        }
        const RecordRows rows = Parse(bytes, format);
        ASSERT_EQ(rows.depths.size(), 1u) << c.header;
        EXPECT_EQ(rows.depths[0], c.depth) << c.header;
    }
}

TEST(RecordsTest, BadFilesNameFileLineAndColumn)
{
    const struct
    {
        const char *bytes;
        const char16_t *message;
    } cases[] = {
        {"2019-07-21 14:05,0.5\n2019-07-32 14:06,0.5\n",
         u"文件 a.csv 第 2 行第 1 列：“2019-07-32 14:06”不是可识别的时间（应如 2019-07-21 14:05、2019/7/21 "
         u"14:05、201907211405 或 2019-07-21T14:05:00）"},
        {"time,depth\n\n2019-07-21 14:05,-0.5\n", u"文件 a.csv 第 3 行第 2 列：雨量 -0.5 为负数"},
        {"2019-07-21 14:05,abc\n", u"文件 a.csv 第 1 行第 2 列：雨量“abc”不是数字"},
        {"2019-07-21 14:05:30,1\n", nullptr},
        {"2019-07-21 14:05,\n", u"文件 a.csv 第 1 行第 2 列：缺少雨量"},
        {"time,depth\n2019-07-21 14:05\n", u"文件 a.csv 第 2 行第 2 列：缺少雨量"},
        {"2019-07-21 14:05,1,2\n",
         u"文件 a.csv 第 1 "
         u"行：无法判断各列的含义，请在第一行写出列名（如“时间,雨量”或“年,月,日,时,分,雨量”），"
         u"或指定各列的含义"},
        {"time,depth\n2019-07-21 14:05,1,2\n", u"文件 a.csv 第 2 行第 3 列：多出一列“2”：各行应为 2 列"},
        {"站号,雨量\n1,2\n",
         u"文件 a.csv 第 1 行：列名中找不到时间和雨量各一列（如“时间,雨量”或“年,月,日,时,分,雨量”）"},
        {"年,月,日,时,分,雨量\n2019,2,29,0,0,1\n",
         u"文件 a.csv 第 2 行第 1 列：2019年2月29日0时0分不是有效的时间"},
        {"年,月,日,时,分,雨量\n2019,2,x,0,0,1\n", u"文件 a.csv 第 2 行第 3 列：“x”不是有效的日"},
        {"2019-07-21 14:05,1\n2201-01-01 00:00,1\n",
         u"文件 a.csv 第 2 行第 1 列：时间“2201-01-01 00:00”不可用：年份应在 1800 至 2200 之间"},
        {"179912312359,1\n",
         u"文件 a.csv 第 1 行第 1 列：时间“179912312359”不可用：年份应在 1800 至 2200 之间"},
        {"年,月,日,时,分,雨量\n2201,1,1,0,0,1\n",
         u"文件 a.csv 第 2 行第 1 列：年份 2201 不可用：年份应在 1800 至 2200 之间"},
        {"2019-07-21 14:05,12345678901234567890123\n",
         u"文件 a.csv 第 1 行第 2 列：雨量“12345678901234567890123”过大，不是一个时段可能测得的雨量"},
        {"2019-07-21 14:05,1234567890123456789012345678901234567890123456789012345678901234567890\n",
         u"文件 a.csv 第 1 行第 2 "
         u"列：雨量“123456789012345678901234567890123456789012345678901234567890…”过大，"
         u"不是一个时段可能测得的雨量"},
        {"2019-07-21 14:05,-1234567890123456789012345678901234567890123456789012345678901234567890\n",
         u"文件 a.csv 第 1 行第 2 列：雨量 "
         u"-12345678901234567890123456789012345678901234567890123456789… 为负数"},
        {"时间,雨量(0.1mm)\n2019-07-21 14:05,12\n2019-07-21 14:06,1.5\n",
         u"文件 a.csv 第 3 行第 2 列：雨量“1.5”带小数，而单位 0.1mm 的雨量应为整数"},
        {"时间,雨量(0.1mm)\r\n\r\n2019-07-21 14:05,12.0\r\n",
         u"文件 a.csv 第 3 行第 2 列：雨量“12.0”带小数，而单位 0.1mm 的雨量应为整数"},
        {"time,depth\r\r2019-07-21 14:05,x\r", u"文件 a.csv 第 3 行第 2 列：雨量“x”不是数字"},
        {"time,depth\r\n2019-07-21 14:05,1\r2019-07-21 14:06,1\n\n2019-07-21 14:07,y",
         u"文件 a.csv 第 5 行第 2 列：雨量“y”不是数字"},
    };
    for (const auto &c : cases) {
        const QString error = ErrorOf([&] { Parse(c.bytes); });
        if (c.message)
            EXPECT_EQ(error.toStdString(), QString::fromUtf16(c.message).toStdString()) << c.bytes;
        else
            EXPECT_TRUE(error.startsWith(QStringLiteral("文件 a.csv 第 1 行第 1 列：")))
                << error.toStdString();
    }
    EXPECT_EQ(ErrorOf([] { ParseRecordColumns(QStringLiteral("time,rain,rain")); }),
              QStringLiteral("各列“time,rain,rain”应含雨量一列，以及时间一列或年、月、日、时、分各一列"));

    // Checks that need the step: a depth no gauge measures, a time off the step.
    RecordSettings five;
    five.step = 5;
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 5);
    EXPECT_EQ(
        ErrorOf([&] {
            MergeRecordRows({Rows(QStringLiteral("b.csv"), {t, t + 5}, {1000, 500001})}, five);
        }),
        QStringLiteral("文件 b.csv 第 2 行第 2 列：雨量 500.001 mm 超过了 5 分钟内可能测得的上限 500 mm"));
    EXPECT_EQ(ErrorOf([&] {
                  MergeRecordRows({Rows(QStringLiteral("b.csv"), {t, t + 7}, {1, 1})}, five);
              }),
              QStringLiteral("文件 b.csv 第 2 行第 1 列：时间 2019-07-21 14:12 不在 5 分钟步长的整点上"));
}

TEST_F(TempFolderTest, RecordFilesAreMergedInTimeOrder)
{
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 0);
    // The second file is out of order and repeats one row of the first exactly.
    writeBytes(QStringLiteral("1.csv"), "2019-07-21 14:00,1\n2019-07-21 14:01,2\n");
    writeBytes(QStringLiteral("2.txt"),
               "time depth\n2019-07-21 14:03 4\n2019-07-21 14:01 2\n2019-07-21 14:02 3\n");
    writeBytes(QStringLiteral("skip.dat"), "not a record");
    RecordSettings settings;
    settings.gaps = RecordGaps::Missing;
    settings.minCompleteness = 0;
    std::vector<double> fractions;
    const RainRecord record = ReadRainRecord({m_dir.path()}, settings, [&](double f) {
        fractions.push_back(f);
        return true;
    });
    EXPECT_EQ(record.files.size(), 2);
    EXPECT_EQ(record.step, 1);
    EXPECT_TRUE(record.stepDetected);
    EXPECT_EQ(record.duplicates, 1);
    const std::int64_t at = (t - record.start);
    EXPECT_EQ(std::vector<std::int32_t>(record.depths.begin() + at - 1, record.depths.begin() + at + 5),
              (std::vector<std::int32_t>{MissingDepth, 1000, 2000, 3000, 4000, MissingDepth}));
    EXPECT_EQ(record.years.size(), 1u);
    EXPECT_EQ(record.years[0].present, 4);
    EXPECT_EQ(record.years[0].total, 10000);
    EXPECT_EQ(record.years[0].last, t + 3);
    EXPECT_EQ(fractions.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));

    // A repeated time with another depth names both places.
    writeBytes(QStringLiteral("3.csv"), "2019-07-21 14:05,1\n2019-07-21 14:02,3.5\n");
    EXPECT_EQ(ErrorOf([&] { ReadRainRecord({m_dir.path()}, settings); }),
              QStringLiteral(
                  "文件 %1 第 4 行与文件 %2 第 2 行的时间同为 2019-07-21 14:02，雨量却不同（3 与 3.5 mm）")
                  .arg(path(QStringLiteral("2.txt")), path(QStringLiteral("3.csv"))));
    // Cancelling stops the reading.
    try {
        ReadRainRecord({m_dir.path()}, settings, [](double) { return false; });
        FAIL();
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.kind(), PluvionErrorKind::Cancelled);
    }
}

TEST_F(TempFolderTest, ARecordReadInPiecesAndHalvesIsReadAsAWhole)
{
    // Every line end, blank lines, rows of the common form and of others; lines
    // straddle the pieces, a CR LF is cut between two, and a file of more than
    // two pieces is read in two halves on two threads.
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 0);
    QByteArray many = "time,depth\r\n";
    const char *const ends[] = {"\r\n", "\n", "\r", "\r\n\r\n", "\n\r"};
    for (int i = 0; i < 300; ++i) {
        QByteArray time = RecordTimeText(t + i).toUtf8();
        many += (i % 11 == 5   ? '"' + time + '"'
                 : i % 13 == 7 ? time.replace('-', '/')
                               : time) +
                ',' + QByteArray::number(i % 7) + (i % 3 ? ".25" : "") + ends[i % 5];
    }
    writeBytes(QStringLiteral("many.csv"), many);
    const RecordRows whole = Parse(many);
    ASSERT_EQ(whole.minutes.size(), 300u);
    // A blank line after rows 3, 8, … and after rows 4, 9, …; a CR LF is one line end.
    EXPECT_EQ(whole.line(299) - whole.line(0), 299 + 60 + 59);
    for (const qsizetype piece : {1, 2, 3, 7, 64, 1 << 20}) {
        qint64 last = 0;
        const RecordRows pieces = ReadRecordFile(
            path(QStringLiteral("many.csv")), {},
            [&](qint64 read) {
                EXPECT_GE(read, last);
                last = read;
            },
            piece);
        EXPECT_EQ(last, many.size()) << piece;
        EXPECT_EQ(pieces.minutes, whole.minutes) << piece;
        EXPECT_EQ(pieces.depths, whole.depths) << piece;
        for (size_t r = 0; r < whole.minutes.size(); ++r)
            ASSERT_EQ(pieces.line(r), whole.line(r)) << piece << ' ' << r;
    }

    // A fault in either half names its line; of two, the earlier one is told.
    QByteArray late = many;
    late.replace("18:50,3.25", "18:50,z"); // row 290, in the second half
    QByteArray both = late;
    both.replace("14:12,5", "14:12,x"); // row 12, near the start
    writeBytes(QStringLiteral("late.csv"), late);
    writeBytes(QStringLiteral("both.csv"), both);
    const auto lineOf = [&](int row) { return QString::number(whole.line(size_t(row))); };
    for (const qsizetype piece : {7, 64}) {
        EXPECT_EQ(ErrorOf([&] { ReadRecordFile(path(QStringLiteral("late.csv")), {}, {}, piece); }),
                  QStringLiteral("文件 %1 第 %2 行第 2 列：雨量“z”不是数字")
                      .arg(path(QStringLiteral("late.csv")), lineOf(290)));
        EXPECT_EQ(ErrorOf([&] { ReadRecordFile(path(QStringLiteral("both.csv")), {}, {}, piece); }),
                  QStringLiteral("文件 %1 第 %2 行第 2 列：雨量“x”不是数字")
                      .arg(path(QStringLiteral("both.csv")), lineOf(12)));
    }

    // Cancelling while the second half is being read stops both.
    try {
        ReadRecordFile(
            path(QStringLiteral("many.csv")), {},
            [](qint64 read) {
                if (read > 4000)
                    throw PluvionError(QStringLiteral("已取消"), PluvionErrorKind::Cancelled);
            },
            64);
        FAIL();
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.kind(), PluvionErrorKind::Cancelled);
    }
}

TEST(RecordsTest, MissingYearsAreLeftOutNotDry)
{
    // 2001 has no row at all, 2002 only its first half: neither is a dry year.
    const std::int32_t a = RecordMinute(2000, 6, 1, 10, 0);
    const std::int32_t b = RecordMinute(2002, 1, 1, 0, 0);
    const std::int32_t c = RecordMinute(2002, 6, 30, 23, 55);
    for (const RecordGaps gaps : {RecordGaps::Zero, RecordGaps::Missing}) {
        RecordSettings settings;
        settings.step = 5;
        settings.gaps = gaps;
        std::vector<std::int32_t> minutes;
        std::vector<std::int32_t> depths;
        // Missing: 2000 and 2002 listed densely from their first row; Zero: a few rain rows.
        const auto listRange = [&](std::int32_t from, std::int32_t to) {
            for (std::int32_t m = from; m <= to; m += 5) {
                minutes.push_back(m);
                depths.push_back(m == a + 60 ? 2000 : 0);
            }
        };
        if (gaps == RecordGaps::Missing) {
            listRange(RecordMinute(2000, 1, 1, 0, 0), RecordMinute(2000, 12, 31, 23, 55));
            listRange(b, c);
        } else {
            minutes = {a + 60, b, c};
            depths = {2000, 0, 0};
        }
        const RainRecord record = MergeRecordRows({Rows(QStringLiteral("r.csv"), minutes, depths)}, settings);
        ASSERT_EQ(record.years.size(), 3u);
        EXPECT_TRUE(record.years[0].used);
        EXPECT_FALSE(record.years[1].used);
        EXPECT_EQ(record.years[1].reason, QStringLiteral("没有任何记录"));
        EXPECT_EQ(record.years[1].percent(), 0);
        // Zero: the files cover every year they list anything in.
        EXPECT_EQ(record.years[2].used, gaps == RecordGaps::Zero);
        if (gaps == RecordGaps::Missing) {
            EXPECT_EQ(record.years[2].reason, QStringLiteral("记录完整率 49.6% 低于 90%"));
        }
        RecordSampling sampling;
        sampling.durations = {5, 10, 15};
        const RecordSamples samples = TakeRecordSamples(record, sampling);
        EXPECT_EQ(samples.years, gaps == RecordGaps::Zero ? 2 : 1);
        // 2002 had no rain: it gives no sample, 2001 none either.
        ASSERT_EQ(samples.durations[0].windows.size(), 1u);
        EXPECT_EQ(samples.durations[0].windows[0].year, 2000);
        EXPECT_EQ(samples.durations[2].windows[0].depth, 2000);
    }
}

TEST(RecordsTest, AGapInsideTheLargestStormKeepsItsMeasuredDepth)
{
    // One-minute record listing every minute around two storms of 2019:
    //   1 July 14:00..  2 2 2 2 _ _ _ 2 2 2   (three minutes missing: 14 mm measured)
    //   1 Aug  09:00..  1.3 × 10              (13 mm, wholly measured)
    // Everything else of the year is missing, so no threshold.
    const std::int32_t a = RecordMinute(2019, 7, 1, 14, 0);
    const std::int32_t b = RecordMinute(2019, 8, 1, 9, 0);
    std::vector<std::int32_t> minutes;
    std::vector<std::int32_t> depths;
    for (std::int32_t m = a - 30; m < a + 40; ++m)
        if (m < a + 4 || m > a + 6) {
            minutes.push_back(m);
            depths.push_back(m >= a && m < a + 10 ? 2000 : 0);
        }
    for (std::int32_t m = b - 30; m < b + 40; ++m) {
        minutes.push_back(m);
        depths.push_back(m >= b && m < b + 10 ? 1300 : 0);
    }
    RecordSettings settings;
    settings.step = 1;
    settings.gaps = RecordGaps::Missing;
    settings.minCompleteness = 0;
    const RainRecord record = MergeRecordRows({Rows(QStringLiteral("g.csv"), minutes, depths)}, settings);
    RecordSampling sampling;
    sampling.durations = {5, 10, 15};
    const RecordSamples samples = TakeRecordSamples(record, sampling);
    // 5 min: the wholly measured 8 mm ahead of the gap is as deep as a window
    // reaching into the gap, and surer; 10 and 15 min: the 14 mm measured in
    // July, not August's smaller storm.
    const struct
    {
        std::int64_t depth;
        std::int64_t missing;
    } expected[] = {{8000, 0}, {14000, 3}, {14000, 3}};
    for (size_t d = 0; d < 3; ++d) {
        ASSERT_EQ(samples.durations[d].windows.size(), 1u);
        EXPECT_EQ(samples.durations[d].windows[0].depth, expected[d].depth) << d;
        EXPECT_EQ(samples.durations[d].windows[0].missing, expected[d].missing) << d;
    }
    // The marks: a note after the table naming the cell, which the sample
    // reader skips, and the same in the peak ratio's lines.
    std::vector<std::pair<int, int>> partial;
    const QStringList lines = RecordSampleLines(samples, &partial);
    EXPECT_EQ(
        lines,
        (QStringList{QStringLiteral("年份\\历时(min),5,10,15"), QStringLiteral("2019,8,14,14"),
                     QStringLiteral("注：2019 年 10 分钟样本的时段内缺测 3 分钟，样本为已测雨量（偏小）"),
                     QStringLiteral("注：2019 年 15 分钟样本的时段内缺测 3 分钟，样本为已测雨量（偏小）")}));
    EXPECT_EQ(partial, (std::vector<std::pair<int, int>>{{1, 2}, {1, 3}}));
    const SampleTable read = ParseSampleTable(RecordSampleFileBytes(samples));
    EXPECT_EQ(read.samples, RecordSampleTable(samples).samples);
    const QStringList peakLines = PeakRatioLines(MeasurePeakRatio(samples));
    EXPECT_EQ(peakLines.mid(peakLines.size() - 2),
              (QStringList{
                  QStringLiteral("注：2019 年 10 分钟样本的时段内缺测 3 分钟，其峰值位置按已测雨量确定"),
                  QStringLiteral("注：2019 年 15 分钟样本的时段内缺测 3 分钟，其峰值位置按已测雨量确定")}));

    // Annual multiple: July's storm ranks first, August's second.
    sampling.method = SamplingMethod::AnnualMultiple;
    sampling.count = 2;
    const RecordSamples multiple = TakeRecordSamples(record, sampling);
    ASSERT_EQ(multiple.durations[1].windows.size(), 2u);
    EXPECT_EQ(multiple.durations[1].windows[0].depth, 14000);
    EXPECT_EQ(multiple.durations[1].windows[1].depth, 13000);
    EXPECT_EQ(RecordSampleLines(multiple)[3],
              QStringLiteral("注：10 分钟第 1 个样本（2019 年）的时段内缺测 3 分钟，样本为已测雨量（偏小）"));
    EXPECT_EQ(ParseSampleTable(RecordSampleFileBytes(multiple)).samples, RecordSampleTable(multiple).samples);
}

TEST(RecordsTest, PeakRatioMatchesAHandCount)
{
    // Two storms a year apart, 1-minute steps, rain outside them none.
    //   2018: 14:00.. 1 2 5 3 1 1      2019: 09:00.. 4 1 1 1 1 1
    const std::int32_t a = RecordMinute(2018, 8, 1, 14, 0);
    const std::int32_t b = RecordMinute(2019, 8, 1, 9, 0);
    RecordRows rows = Rows(QStringLiteral("p.csv"),
                           {a, a + 1, a + 2, a + 3, a + 4, a + 5, b, b + 1, b + 2, b + 3, b + 4, b + 5},
                           {1000, 2000, 5000, 3000, 1000, 1000, 4000, 1000, 1000, 1000, 1000, 1000});
    RecordSettings settings;
    settings.step = 1;
    const RainRecord record = MergeRecordRows({rows}, settings);
    RecordSampling sampling;
    sampling.durations = {2, 3, 4};
    const RecordSamples samples = TakeRecordSamples(record, sampling);
    // 2 min: 2018 [5,3] peak 0 → 0.25; 2019 [4,1] → 0.25.
    // 3 min: 2018 [2,5,3] peak 1 → 1.5/3 = 0.5; 2019 [4,1,1] → 0.5/3.
    // 4 min: 2018 [1,2,5,3] (11, ahead of [2,5,3,1]) peak 2 → 2.5/4; 2019 [4,1,1,1] → 0.5/4.
    const PeakRatio peak = MeasurePeakRatio(samples);
    ASSERT_EQ(peak.durations.size(), 3u);
    EXPECT_FALSE(peak.durations[0].used); // under three steps
    EXPECT_DOUBLE_EQ(peak.durations[0].mean, 0.25);
    EXPECT_DOUBLE_EQ(peak.durations[1].mean, (0.5 + 0.5 / 3) / 2);
    EXPECT_DOUBLE_EQ(peak.durations[2].mean, (2.5 / 4 + 0.5 / 4) / 2);
    EXPECT_DOUBLE_EQ(peak.durations[2].deviation, std::sqrt(2 * std::pow(2.0 / 8, 2)));
    EXPECT_DOUBLE_EQ(peak.r, (peak.durations[1].mean + peak.durations[2].mean) / 2);
    EXPECT_EQ(samples.durations[2].windows[0].start, a - record.start);
}

TEST(RecordsTest, SamplesMatchABruteForceCount)
{
    // Three years of 5-minute records with gaps, scattered rain and a poor year.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> rainy(0, 99);
    std::uniform_int_distribution<int> depth(1, 30);
    std::vector<std::int32_t> minutes;
    std::vector<std::int32_t> depths;
    const std::int32_t begin = RecordMinute(2016, 1, 1, 0, 0);
    const std::int32_t end = RecordMinute(2019, 1, 1, 0, 0);
    for (std::int32_t m = begin; m < end; m += 5) {
        const int roll = rainy(random);
        if (roll < 2 || (m > RecordMinute(2017, 3, 1, 0, 0) && m < RecordMinute(2017, 5, 1, 0, 0)))
            continue; // missing
        minutes.push_back(m);
        depths.push_back(roll < 10 ? depth(random) * 100 : 0);
    }
    std::shuffle(minutes.begin(), minutes.begin() + 1000, random); // an unsorted stretch
    RecordSettings settings;
    settings.step = 5;
    settings.gaps = RecordGaps::Missing;
    const RainRecord record = MergeRecordRows({Rows(QStringLiteral("x.csv"), minutes, depths)}, settings);
    ASSERT_EQ(record.usedYears(), 2); // 2017 lacks two months

    for (const SamplingMethod method : {SamplingMethod::AnnualMaximum, SamplingMethod::AnnualMultiple}) {
        RecordSampling sampling;
        sampling.method = method;
        const RecordSamples samples = TakeRecordSamples(record, sampling);
        ASSERT_EQ(samples.durations.size(), StandardRecordDurations.size());
        for (size_t d = 0; d < samples.durations.size(); ++d) {
            const std::int64_t width = StandardRecordDurations[d] / 5;
            // A window's measured depth and missing intervals; beyond the record nothing.
            const auto at = [&](std::int64_t k) {
                return k < 0 || k >= std::int64_t(record.depths.size()) ? 0 : record.depths[size_t(k)];
            };
            const auto windowOf = [&](std::int64_t s, std::int64_t w, int year) {
                RecordWindow window{s, 0, 0, year, 0};
                for (std::int64_t k = s; k < s + w; ++k) {
                    if (at(k) == MissingDepth)
                        ++window.missing;
                    else
                        window.depth += at(k);
                }
                return window;
            };
            // Every window within the record that starts in a used year.
            std::vector<RecordWindow> all;
            for (size_t y = 0; y < record.years.size(); ++y) {
                if (!record.years[y].used)
                    continue;
                for (std::int64_t s = record.yearStarts[y]; s < record.yearStarts[y + 1]; ++s) {
                    if (s + width > std::int64_t(record.depths.size()))
                        break;
                    const RecordWindow window = windowOf(s, width, record.years[y].year);
                    if (window.depth > 0)
                        all.push_back(window);
                }
            }
            std::stable_sort(all.begin(), all.end(), [](const RecordWindow &x, const RecordWindow &y) {
                return x.depth != y.depth ? x.depth > y.depth : x.missing < y.missing;
            });
            std::vector<RecordWindow> expected;
            for (const RecordWindow &w : all) {
                const bool taken = std::any_of(expected.begin(), expected.end(), [&](const RecordWindow &e) {
                    return method == SamplingMethod::AnnualMaximum ? e.year == w.year
                                                                   : std::abs(e.start - w.start) < width;
                });
                if (!taken && (method == SamplingMethod::AnnualMaximum || expected.size() < 8))
                    expected.push_back(w);
            }
            // Of the run of equal windows around the one chosen, with the same
            // missing intervals, the middle one, clear of the chosen neighbours.
            std::vector<RecordWindow> byStart = expected;
            std::sort(byStart.begin(), byStart.end(),
                      [](const RecordWindow &x, const RecordWindow &y) { return x.start < y.start; });
            for (size_t k = 0; k < byStart.size(); ++k) {
                const RecordWindow found = byStart[k];
                const auto same = [&](std::int64_t s) {
                    const RecordWindow w = windowOf(s, width, found.year);
                    return w.depth == found.depth && w.missing == found.missing;
                };
                const std::int64_t first = k > 0 ? byStart[k - 1].start + width : INT64_MIN;
                const std::int64_t last = k + 1 < byStart.size() ? byStart[k + 1].start - width : INT64_MAX;
                std::int64_t begin = found.start;
                std::int64_t end = found.start;
                while (begin > first && same(begin - 1) && at(begin - 1) != MissingDepth)
                    --begin;
                while (end < last && same(end + 1) && at(end + width) != MissingDepth)
                    ++end;
                byStart[k].start = begin + (end - begin) / 2;
                for (RecordWindow &e : expected)
                    if (e.start == found.start)
                        e.start = byStart[k].start;
            }
            if (method == SamplingMethod::AnnualMaximum)
                std::sort(expected.begin(), expected.end(),
                          [](const RecordWindow &x, const RecordWindow &y) { return x.year < y.year; });
            const std::vector<RecordWindow> &got = samples.durations[d].windows;
            ASSERT_EQ(got.size(), expected.size()) << width;
            for (size_t k = 0; k < got.size(); ++k) {
                EXPECT_EQ(got[k].start, expected[k].start) << width << ' ' << k;
                EXPECT_EQ(got[k].depth, expected[k].depth) << width << ' ' << k;
                EXPECT_EQ(got[k].year, expected[k].year) << width << ' ' << k;
                EXPECT_EQ(got[k].missing, expected[k].missing) << width << ' ' << k;
            }
        }
        // The sample file reads back as the same table.
        const SampleTable table = RecordSampleTable(samples);
        const SampleTable read = ParseSampleTable(RecordSampleFileBytes(samples));
        EXPECT_EQ(read.durations, table.durations);
        EXPECT_EQ(read.samples, table.samples);
    }
}

TEST(RecordsTest, AStormGivesTheSameSamplesWhereverItFallsInTheYear)
{
    // One storm of 5-minute depths in a one-year record, nothing else: in
    // July, ending on the record's last minute, and starting on its first.
    const std::vector<std::int32_t> storm{1000, 3000, 6000, 2000, 1000};
    const std::int32_t starts[] = {RecordMinute(2019, 7, 1, 12, 0), RecordMinute(2019, 12, 31, 23, 35),
                                   RecordMinute(2019, 1, 1, 0, 0)};
    std::vector<std::pair<std::int64_t, double>> july; // depth and r per duration
    for (const std::int32_t start : starts) {
        std::vector<std::int32_t> minutes;
        for (size_t k = 0; k < storm.size(); ++k)
            minutes.push_back(start + 5 * std::int32_t(k));
        RecordSettings settings;
        settings.step = 5;
        const RainRecord record = MergeRecordRows({Rows(QStringLiteral("t.csv"), minutes, storm)}, settings);
        const RecordSamples samples = TakeRecordSamples(record, {});
        const PeakRatio peak = MeasurePeakRatio(samples);
        std::vector<std::pair<std::int64_t, double>> got;
        for (size_t d = 0; d < samples.durations.size(); ++d) {
            ASSERT_EQ(samples.durations[d].windows.size(), 1u);
            got.emplace_back(samples.durations[d].windows[0].depth, peak.durations[d].mean);
        }
        if (july.empty())
            july = got;
        EXPECT_EQ(got, july) << RecordTimeText(start).toStdString();
    }
    // 150 min: the storm in the middle, its peak in the 16th interval of 30.
    EXPECT_DOUBLE_EQ(july[9].second, 15.5 / 30);
    EXPECT_EQ(july[9].first, 13000);
}

TEST(RecordsTest, AGivenStepTheTimestampsContradictIsRefused)
{
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 0);
    const auto every = [&](int spacing, int count, int skip = -1) {
        std::vector<std::int32_t> minutes;
        for (int k = 0; k < count; ++k)
            if (k != skip)
                minutes.push_back(t + spacing * k);
        return minutes;
    };
    const struct
    {
        std::vector<std::int32_t> minutes;
        int step;
        const char16_t *message;
    } cases[] = {
        {every(5, 12), 1, u"记录的时间间隔为 5 分钟，与指定的步长 1 分钟不符"},
        {every(10, 12), 5, u"记录的时间间隔为 10 分钟，与指定的步长 5 分钟不符"},
        {every(5, 12, 6), 5, u"<no error>"},                  // a gap at the given step
        {every(5, 12), 5, u"<no error>"},                     // the step itself
        {{t, t + 1, t + 4, t + 7, t + 10}, 1, u"<no error>"}, // rain minutes only, mostly apart
        {{t}, 1, u"<no error>"},
    };
    for (const auto &c : cases) {
        RecordSettings settings;
        settings.step = c.step;
        const std::vector<std::int32_t> depths(c.minutes.size(), 500);
        const QString error =
            ErrorOf([&] { MergeRecordRows({Rows(QStringLiteral("s.csv"), c.minutes, depths)}, settings); });
        EXPECT_EQ(error, QString::fromUtf16(c.message)) << c.step;
    }
}

TEST(RecordsTest, YearLinesShowEarlyYearsAndCompletenessThatFallsShort)
{
    // Completeness with as many decimals as tell it from the threshold.
    const struct
    {
        double percent;
        double threshold;
        const char *text;
    } shares[] = {
        {100.0 * 105119 / 105120, 100, "99.999"},
        {99.96, 100, "99.96"},
        {89.99, 90, "89.99"},
        {90.04, 90, "90.0"},
        {100, 100, "100.0"},
        {49.6, 90, "49.6"},
    };
    for (const auto &s : shares)
        EXPECT_EQ(CompletenessText(s.percent, s.threshold), QLatin1StringView(s.text)) << s.percent;

    // A 5-minute year of 1909 listed whole but for one interval.
    const std::int32_t begin = RecordMinute(1909, 1, 1, 0, 0);
    const std::int32_t end = RecordMinute(1910, 1, 1, 0, 0);
    std::vector<std::int32_t> minutes;
    for (std::int32_t m = begin; m < end; m += 5)
        if (m != begin + 5 * 1000)
            minutes.push_back(m);
    std::vector<std::int32_t> depths(minutes.size(), 0);
    depths[0] = 100;
    RecordSettings settings;
    settings.step = 5;
    settings.gaps = RecordGaps::Missing;
    settings.minCompleteness = 100;
    const RainRecord record = MergeRecordRows({Rows(QStringLiteral("old.csv"), minutes, depths)}, settings);
    EXPECT_EQ(RecordYearLines(record)[1],
              QStringLiteral("1909,1909-01-01 00:00,1909-12-31 23:55,105119,99.999%,0.1,未使用：记录完整率 "
                             "99.999% 低于 100%"));
}

TEST_F(TempFolderTest, AFolderThatCannotBeReadSaysWhy)
{
    const QString folder = path(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkdir(folder));
    writeBytes(QStringLiteral("locked/a.csv"), "2019-07-21 14:05,0.5\n");
    QFile::setPermissions(folder, QFileDevice::Permissions());
    const QString error = ErrorOf([&] { RecordFilesOf({folder}); });
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (error == QStringLiteral("<no error>"))
        GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_EQ(error, QStringLiteral("无法读取文件夹 %1：没有权限。").arg(folder));
}

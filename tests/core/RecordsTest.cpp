// Rain-gauge records: reading the files people have, merging them, each
// year's completeness, the sliding-window samples against a brute-force
// count, and the peak ratio against a hand count.
#include "io/LegacyText.h"
#include "model/PluvionError.h"
#include "records/PeakRatio.h"

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

TEST(RecordsTest, AGapInsideAStormIsNeverBridged)
{
    // One-minute record: 14:00–14:09 listed, 14:04 missing.
    const std::int32_t t = RecordMinute(2019, 7, 21, 14, 0);
    std::vector<std::int32_t> minutes;
    std::vector<std::int32_t> depths;
    const int rain[] = {1, 2, 3, 4, -1, 6, 5, 1, 1, 1};
    for (int i = 0; i < 10; ++i)
        if (rain[i] >= 0) {
            minutes.push_back(t + i);
            depths.push_back(rain[i] * 1000);
        }
    RecordSettings settings;
    settings.step = 1;
    settings.gaps = RecordGaps::Missing;
    settings.minCompleteness = 0;
    const RainRecord record = MergeRecordRows({Rows(QStringLiteral("g.csv"), minutes, depths)}, settings);
    RecordSampling sampling;
    sampling.durations = {2, 3, 5, 6};
    const RecordSamples samples = TakeRecordSamples(record, sampling);
    // 2 min: 6+5 after the gap; 3 min: 6+5+1; 5 min: 6+5+1+1+1; 6 min cannot avoid the gap.
    EXPECT_EQ(samples.durations[0].windows[0].depth, 11000);
    EXPECT_EQ(samples.durations[1].windows[0].depth, 12000);
    EXPECT_EQ(samples.durations[2].windows[0].depth, 14000);
    EXPECT_EQ(samples.durations[2].windows[0].start, t + 5 - record.start);
    EXPECT_TRUE(samples.durations[3].windows.empty());
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
            // The depth of a window wholly recorded, -1 for one that is not.
            const auto windowSum = [&](std::int64_t s, std::int64_t w) -> std::int64_t {
                std::int64_t sum = 0;
                for (std::int64_t k = s; k < s + w; ++k) {
                    if (record.depths[size_t(k)] == MissingDepth)
                        return -1;
                    sum += record.depths[size_t(k)];
                }
                return sum;
            };
            // Every window wholly recorded that starts in a used year.
            std::vector<RecordWindow> all;
            for (size_t y = 0; y < record.years.size(); ++y) {
                if (!record.years[y].used)
                    continue;
                for (std::int64_t s = record.yearStarts[y]; s < record.yearStarts[y + 1]; ++s) {
                    if (s + width > std::int64_t(record.depths.size()))
                        break;
                    const std::int64_t sum = windowSum(s, width);
                    if (sum > 0)
                        all.push_back({s, sum, 0, record.years[y].year});
                }
            }
            std::stable_sort(all.begin(), all.end(),
                             [](const RecordWindow &x, const RecordWindow &y) { return x.depth > y.depth; });
            std::vector<RecordWindow> expected;
            for (const RecordWindow &w : all) {
                const bool taken = std::any_of(expected.begin(), expected.end(), [&](const RecordWindow &e) {
                    return method == SamplingMethod::AnnualMaximum ? e.year == w.year
                                                                   : std::abs(e.start - w.start) < width;
                });
                if (!taken && (method == SamplingMethod::AnnualMaximum || expected.size() < 8))
                    expected.push_back(w);
            }
            // Of a run of equal windows following the one chosen, the middle one,
            // within its year and clear of the next chosen window.
            std::vector<RecordWindow> byStart = expected;
            std::sort(byStart.begin(), byStart.end(),
                      [](const RecordWindow &x, const RecordWindow &y) { return x.start < y.start; });
            for (size_t k = 0; k < byStart.size(); ++k) {
                const size_t y = size_t(byStart[k].year - 2016);
                std::int64_t last =
                    std::min(record.yearStarts[y + 1] - 1, std::int64_t(record.depths.size()) - width);
                if (k + 1 < byStart.size())
                    last = std::min(last, byStart[k + 1].start - width);
                std::int64_t end = byStart[k].start;
                while (end < last && windowSum(end + 1, width) == byStart[k].depth)
                    ++end;
                for (RecordWindow &e : expected)
                    if (e.start == byStart[k].start)
                        e.start += (end - e.start) / 2;
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
            }
        }
        // The sample file reads back as the same table.
        const SampleTable table = RecordSampleTable(samples);
        const SampleTable read = ParseSampleTable(RecordSampleFileBytes(samples));
        EXPECT_EQ(read.durations, table.durations);
        EXPECT_EQ(read.samples, table.samples);
    }
}

// Reading the i–t–P table and the sample series as Excel writes them, and the
// messages for what is wrong with them.
#include "fit/FitTable.h"

#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <gtest/gtest.h>

TEST(FitTableTest, ReadsTheTableInEveryEncodingAndLineEnding)
{
    const QString text =
        QStringLiteral("历时\\重现期,2,5,,\r\n5,2.0,2.5,,\r\n10,1.5,1.9\r\n30,0.8,1.0\r\n,,\r\n\r\n");
    const QByteArray utf8 = text.toUtf8();
    QByteArray lf = utf8;
    lf.replace("\r\n", "\n");
    for (const QByteArray &bytes : {utf8, QByteArray("\xEF\xBB\xBF") + utf8, lf,
                                    EncodeLegacyLines(text.split(QStringLiteral("\r\n")))}) {
        const IntensityTable t = ParseIntensityTable(bytes, TableValueKind::Intensity);
        EXPECT_EQ(t.durations, (std::vector<double>{5, 10, 30}));
        EXPECT_EQ(t.periods, (std::vector<double>{2, 5}));
        EXPECT_EQ(t.values, (std::vector<double>{2.0, 2.5, 1.5, 1.9, 0.8, 1.0}));
    }
    // Depths are divided by the duration; a quoted cell is one cell.
    const IntensityTable depth =
        ParseIntensityTable("P,\"2\",5\n5,10,12.5\n10,15,19\n20,20,25\n", TableValueKind::Depth);
    EXPECT_EQ(depth.values, (std::vector<double>{2.0, 2.5, 1.5, 1.9, 1.0, 1.25}));
}

TEST(FitTableTest, BadTablesAreNamedByRowAndColumn)
{
    const struct
    {
        const char *text;
        const char16_t *message;
    } cases[] = {
        {"", u"表格是空的：没有找到重现期和历时。"},
        {"\r\n,,\r\n", u"表格是空的：没有找到重现期和历时。"},
        {"P\n5\n10\n20\n", u"第1行没有重现期：第一行应为一个标签，后面是各重现期（年）。"},
        {"P,2,5\n5,2,abc\n10,1,1\n20,1,1\n", u"第2行第3列的“abc”不是数字（应为雨强（mm/min））。"},
        {"P,2,5\n5,2,-1\n10,1,1\n20,1,1\n", u"第2行第3列的雨强（mm/min）必须大于0，现为-1。"},
        {"P,2,5\n5,2,0\n10,1,1\n20,1,1\n", u"第2行第3列的雨强（mm/min）必须大于0，现为0。"},
        {"P,2,5\n5,2,1\n10,,1\n20,1,1\n", u"第3行第2列缺少雨强（mm/min）。"},
        {"P,2,5\n5,2,1\n10,1\n20,1,1\n", u"第3行第3列缺少雨强（mm/min）。"},
        {"P,2,5\n5,2,1,7\n10,1,1\n20,1,1\n", u"第2行第4列超出了第一行的列数：第一行只有3列。"},
        {"P,2,5\n5,2,1\n10,1,1\n", u"至少需要3个历时，表中只有2个。"},
        {"P,2,5\n5,2,1\n10,1,1\n\n5,1,1\n", u"第5行第1列的历时 5 分钟与前面的行重复。"},
        {"P,2,2\n5,2,1\n10,1,1\n20,1,1\n", u"第1行第3列的重现期（年） 2 与第2列重复。"},
        {"P,2,x\n5,2,1\n10,1,1\n20,1,1\n", u"第1行第3列的“x”不是数字（应为重现期（年））。"},
        {"P,2,5\nnan,2,1\n10,1,1\n20,1,1\n", u"第2行第1列的“nan”不是数字（应为历时（分钟））。"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseIntensityTable(QByteArray(c.text), TableValueKind::Intensity);
            ADD_FAILURE() << "accepted";
        } catch (const PluvionError &e) {
            EXPECT_EQ(e.description(), QString::fromUtf16(c.message));
        }
    }
}

TEST(FitTableTest, ReadsSamplesWithMissingCells)
{
    const SampleTable s = ParseSampleTable("年份,5,10,15\n2001,8,12,15\n2002,,11,14\n2003,9,,16,\n");
    EXPECT_EQ(s.durations, (std::vector<double>{5, 10, 15}));
    ASSERT_EQ(s.samples.size(), 3u);
    EXPECT_EQ(s.samples[0], (std::vector<double>{8, 9}));
    EXPECT_EQ(s.samples[1], (std::vector<double>{12, 11}));
    EXPECT_EQ(s.samples[2], (std::vector<double>{15, 14, 16}));

    const struct
    {
        const char *text;
        const char16_t *message;
    } cases[] = {
        {"", u"样本表是空的：没有找到历时和样本。"},
        {"年份,5,10\n2001,1,2\n", u"第1行至少需要3个历时，现只有2个。"},
        {"年份,5,10,10\n2001,1,2,3\n", u"第1行第4列的历时（分钟） 10 与第3列重复。"},
        {"年份,5,10,15\n2001,1,2,3\n2002,1,-2,3\n", u"第3行第3列的雨量（mm）必须大于0，现为-2。"},
        {"年份,5,10,15\n2001,1,,3\n", u"历时 10 分钟（第3列）没有样本。"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        try {
            ParseSampleTable(QByteArray(c.text));
            ADD_FAILURE() << "accepted";
        } catch (const PluvionError &e) {
            EXPECT_EQ(e.description(), QString::fromUtf16(c.message));
        }
    }
}

// Values no rain gauge records, and tables larger than real ones, are refused
// with the limit named; a bad cell is quoted short, its control characters
// shown by their pictures.
TEST(FitTableTest, ValuesOutsideRainAndOversizedTablesAreRefused)
{
    const auto intensityError = [](const QByteArray &bytes) {
        try {
            ParseIntensityTable(bytes, TableValueKind::Intensity);
        } catch (const PluvionError &e) {
            return e.description();
        }
        return QStringLiteral("<no error>");
    };
    const auto sampleError = [](const QByteArray &bytes) {
        try {
            ParseSampleTable(bytes);
        } catch (const PluvionError &e) {
            return e.description();
        }
        return QStringLiteral("<no error>");
    };
    QByteArray widePeriods = "P";
    for (int p = 1; p <= 61; ++p)
        widePeriods += ',' + QByteArray::number(p);
    widePeriods += "\n";
    QByteArray manySamples = "年份,5,10,15\n";
    for (int k = 0; k < 10001; ++k)
        manySamples += "1,1,1,1\n";
    const QByteArray hugeCell = "P,2,5\n5,2," + QByteArray(10 * 1024 * 1024, 'x') + "\n10,1,1\n20,1,1\n";
    const struct
    {
        QString error;
        const char16_t *message;
    } cases[] = {
        {intensityError("P,2,5\n5,1e-250,2e-250\n10,1,1\n20,1,1\n"),
         u"第2行第2列的雨强（mm/min） 1e-250 超出了雨量记录的范围（雨强应在 1e-06 至 100 mm/min 之间）。"},
        {intensityError("P,2,5\n5,1e160,2e160\n10,1,1\n20,1,1\n"),
         u"第2行第2列的雨强（mm/min） 1e160 超出了雨量记录的范围（雨强应在 1e-06 至 100 mm/min 之间）。"},
        {intensityError("P,2,50000\n5,1,2\n10,1,1\n20,1,1\n"),
         u"第1行第3列的重现期（年） 50000 超出了雨量记录的范围（至多 10000）。"},
        {intensityError(widePeriods), u"表中有61个重现期，超过上限60个。"},
        {sampleError("年份,5,10,15\n1,1e-299,1,1\n"),
         u"第2行第2列的雨量（mm） 1e-299 超出了雨量记录的范围（至少 0.001）。"},
        {sampleError("年份,5,10,15\n1,1,1,1\n2,6000,1,1\n"),
         u"第3行第2列的雨量（mm） 6000 超出了雨量记录的范围（至多 5000）。"},
        {sampleError(manySamples), u"表中有10001个样本行，超过上限10000个。"},
        {intensityError(hugeCell), u"第2行第3列的“xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"
                                   u"x…”不是数字（应为雨强（mm/min））。"},
        {intensityError(QByteArray("P,2,5\n5,2,a\0b\n10,1,1\n20,1,1\n", 26)),
         u"第2行第3列的“a␀b”不是数字（应为雨强（mm/min））。"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.error, QString::fromUtf16(c.message));
}

// The long-duration storm as a storm of the program: built from the example
// records, listed, saved and read back, written as SWMM and reported; and
// the storm files it refuses.
#include "records/LongDesignStorm.h"

#include "export/CalcReport.h"
#include "export/CsvExport.h"
#include "export/SwmmExport.h"
#include "fit/FitCase.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"
#include "records/RecordFile.h"

#include <QDir>
#include <cmath>
#include <gtest/gtest.h>
#include <numeric>

namespace {

const RainRecord &ExampleRecord()
{
    static const RainRecord record = [] {
        const QDir folder(QStringLiteral(PLUVION_TEST_DATA "/../../docs/examples"));
        QStringList paths;
        for (const QString &name : folder.entryList({QStringLiteral("records-*.csv")}, QDir::Files))
            paths.append(folder.filePath(name));
        return ReadRainRecord(paths, RecordSettings{});
    }();
    return record;
}

Storm ExampleStorm(LongStormMethod method, double period)
{
    LongStormSettings settings;
    settings.method = method;
    settings.period = period;
    return LongDesignStorm(BuildLongStorm(ExampleRecord(), settings), ExampleRecord());
}

double Sum(const std::vector<double> &values, size_t from, size_t count)
{
    return std::accumulate(values.begin() + std::ptrdiff_t(from),
                           values.begin() + std::ptrdiff_t(from + count), 0.0);
}

Storm ReadBack(const Storm &storm)
{
    Storm read = StartUpStorm();
    const QStringList lines = DecodeLegacyLines(EncodeLegacyLines(StormFileLines(storm, Separators{})));
    EXPECT_EQ(ParseStormText(lines, read, Separators{}), StormFileReadResult::Read);
    return read;
}

} // namespace

// Every nested window of a same-frequency storm holds the design depth of its
// duration; either method's storm totals H_P(D), as its rows, its SWMM series
// and its labels say.
TEST(LongDesignStormTest, RowsSeriesAndLabelsHoldTheDesignDepths)
{
    for (const LongStormMethod method :
         {LongStormMethod::SameFrequency, LongStormMethod::AverageVariability}) {
        for (const double period : {2.0, 10.0, 50.0}) {
            SCOPED_TRACE(period);
            // At P = 2 the records' 720-minute depth falls below the 360-minute
            // one: a nest cannot be scaled to it, a pattern can.
            if (method == LongStormMethod::SameFrequency && period == 2) {
                EXPECT_THROW(ExampleStorm(method, period), PluvionError);
                continue;
            }
            Storm storm = ExampleStorm(method, period);
            const LongStormProfile &p = storm.longProfile;
            ASSERT_EQ(p.depths.size(), 288u);
            const double design = p.nested.back().design;
            EXPECT_EQ(p.nested.back().duration, 1440);
            if (method == LongStormMethod::SameFrequency) {
                EXPECT_EQ(p.typicalStart, QStringLiteral("2011-07-21 09:25"));
                for (const NestedDesignDepth &d : p.nested)
                    EXPECT_NEAR(Sum(p.depths, size_t(d.nestedStart), size_t(d.duration / 5)), d.design,
                                1e-9 * d.design)
                        << d.duration;
            } else {
                EXPECT_EQ(p.stormsAveraged, 11);
                EXPECT_NEAR(std::accumulate(p.pattern.begin(), p.pattern.end(), 0.0), 100, 1e-9);
            }

            RainPoints points;
            ASSERT_FALSE(CalcRainPoints(storm, points, false, 4));
            ASSERT_EQ(points.size(), 288u);
            double overall = 0;
            for (size_t k = 0; k < points.size(); ++k) {
                overall += p.depths[k];
                EXPECT_EQ(points[k].Time, 5.0 * double(k));
                EXPECT_DOUBLE_EQ(points[k].Intensity, p.depths[k] / 5);
                EXPECT_NEAR(points[k].Overall, overall, 1e-12 * design);
            }
            EXPECT_NEAR(storm.totalDepth, design, 1e-9 * design);
            EXPECT_DOUBLE_EQ(storm.averageIntensity, storm.totalDepth / 1440);

            // The SWMM series, read as SWMM reads it: mm/h held over Δt.
            double series = 0;
            int entries = 0;
            for (const QString &line : SwmmFragmentLines(storm)) {
                const QStringList cells = line.split(u' ', Qt::SkipEmptyParts);
                if (cells.size() == 3 && cells[0] == SwmmSeriesName(storm)) {
                    series += cells[2].toDouble() * 5 / 60;
                    ++entries;
                }
            }
            EXPECT_EQ(entries, 289); // the intervals and the closing 0
            EXPECT_NEAR(series, design, 1e-9 * design);

            const auto labels = LabelTexts(storm, 2);
            EXPECT_EQ(labels[2], QStringLiteral("雨型：") + LongStormMethodName(method));
            EXPECT_EQ(FormulaDepthText(storm, 2),
                      QStringLiteral("设计雨量=%1mm（降雨记录）").arg(ShownValue(design, 2)));
        }
    }
    const Storm storm = ExampleStorm(LongStormMethod::SameFrequency, 10);
    EXPECT_EQ(SwmmSeriesName(storm), QStringLiteral("P10_T1440_SF"));
    EXPECT_EQ(SwmmProposedName(storm, {}), QStringLiteral("长历时雨型SWMM数据P=10年 t=1440分.inp"));
    EXPECT_EQ(CalcReportProposedName(storm), QStringLiteral("长历时雨型计算书 P=10年 T=1440分.docx"));
    EXPECT_EQ(CsvProposedName(storm, {}), QStringLiteral("长历时雨型计算数据P=10年 t=1440分.csv"));
}

// A long storm's rows rounded as shown add up what is shown.
TEST(LongDesignStormTest, RowsComputedFromTheShownValues)
{
    Storm storm = ExampleStorm(LongStormMethod::AverageVariability, 10);
    RainPoints points;
    ASSERT_FALSE(CalcRainPoints(storm, points, true, 2));
    double total = 0;
    for (const RainPoint &point : points) {
        EXPECT_EQ(point.Intensity, RoundToShown(2, point.Intensity));
        total += point.Intensity * 5;
    }
    EXPECT_NEAR(storm.totalDepth, total, 1e-9);

    // A storm whose duration does not match its intervals is refused.
    storm.duration = 1435;
    points.clear();
    EXPECT_TRUE(CalcRainPoints(storm, points, false, 2));
    storm.longProfile.depths.clear();
    EXPECT_EQ(CalcRainPoints(storm, points, false, 2), LongStormWithoutDepthsMessage());
}

// The file holds the whole storm: it reads back as the same storm, texts
// GBK lacks included; a Chicago storm read over it is a Chicago storm again.
TEST(LongDesignStormTest, StormFileReadsBackTheSameStorm)
{
    for (const LongStormMethod method :
         {LongStormMethod::SameFrequency, LongStormMethod::AverageVariability}) {
        Storm storm = ExampleStorm(method, 10);
        storm.longProfile.notes.append(QStringLiteral("Pilgrim–Cordery \\u00e9 ☔ 皮尔逊Ⅲ"));
        const Storm read = ReadBack(storm);
        EXPECT_EQ(read, storm);
        EXPECT_EQ(read.kind, StormKind::Long);

        Storm chicago = read;
        ASSERT_EQ(ParseStormText(StormFileLines(StartUpStorm(), Separators{}), chicago, Separators{}),
                  StormFileReadResult::Read);
        EXPECT_EQ(chicago.kind, StormKind::Chicago);
        EXPECT_EQ(chicago.longProfile, LongStormProfile{});
    }
    // Depths from a formula keep it, and its parameters.
    LongStormSettings settings;
    settings.source = DesignDepthSource::Formula;
    settings.formula = TotalFormula{9.5981, 0.846, 7, 0.656, Logarithm::Lg, 0};
    const Storm formula = LongDesignStorm(BuildLongStorm(ExampleRecord(), settings), ExampleRecord());
    EXPECT_EQ(formula.longProfile.formula, FormulaText(settings.formula));
    EXPECT_EQ(ReadBack(formula), formula);
    EXPECT_EQ(FormulaDepthText(formula, 1).right(8), QStringLiteral("（暴雨强度公式）"));
}

TEST(LongDesignStormTest, MalformedLongStormFilesAreRefusedNamingTheKey)
{
    const QStringList lines = StormFileLines(ExampleStorm(LongStormMethod::SameFrequency, 10), Separators{});
    const struct
    {
        const char *key;
        const char *value; // null: the line is left out
        const char *named; // the key the message names
    } cases[] = {
        {"Storm_Kind", "Short", "Storm_Kind"},
        {"Long_Method", "Chicago", "Long_Method"},
        {"Long_Method", nullptr, "Long_Method"},
        {"Long_Source", "Gauge", "Long_Source"},
        {"Long_Depths", "1;x;2", "Long_Depths"},
        {"Long_Depths", "", "Long_Depths"},
        {"Long_Depths", "1;-2", "Long_Depths"},
        {"Long_Nested", "5,1,2,3,0,1", "Long_Nested"},
        {"Long_Nested", "5,1,,,0,2,0", "Long_Nested"},
        {"Long_TypicalChosen", "yes", "Long_TypicalChosen"},
        {"Long_Years", "2001;20x2", "Long_Years"},
        {"Long_Notes", "9", "Long_Note9"},
        {"Long_Note1", "bad \\q escape", "Long_Note1"},
        {"Long_MinCompleteness", "nan", "Long_MinCompleteness"},
    };
    for (const auto &c : cases) {
        const QString key = QString::fromLatin1(c.key);
        SCOPED_TRACE(c.key);
        QStringList changed;
        for (const QString &line : lines) {
            if (!line.startsWith(key + u'='))
                changed.append(line);
            else if (c.value)
                changed.append(key + u'=' + QString::fromUtf8(c.value));
        }
        Storm storm = StartUpStorm();
        try {
            ParseStormText(changed, storm, Separators{});
            ADD_FAILURE() << "read";
        } catch (const PluvionError &error) {
            EXPECT_EQ(error.description(), MalformedLongStormMessage(QString::fromLatin1(c.named)));
        }
        EXPECT_EQ(storm, StartUpStorm());
    }
}

// The report states the method, the records, the typical storm or the storms
// averaged, the nested depths and factors, the notes and the totals.
TEST(LongDesignStormTest, ReportStatesWhatTheStormWasBuiltFrom)
{
    Storm storm = ExampleStorm(LongStormMethod::SameFrequency, 10);
    RainPoints points;
    ASSERT_FALSE(CalcRainPoints(storm, points, false, 4));
    const TableRows rows = TableTexts(points, 0, 4);
    const QString sectPr = QStringLiteral("<w:sectPr><w:pgSz/></w:sectPr>");
    QString text = LongStormReportDocument(QStringLiteral("<w:body>") + sectPr + QStringLiteral("</w:body>"),
                                           storm, 4, rows, 0, true);
    EXPECT_TRUE(text.contains(QStringLiteral("长历时雨型计算书")));
    EXPECT_TRUE(text.contains(QStringLiteral("K_j = [H_P(d_j) − H_P(d_{j−1})] / [h(d_j) − h(d_{j−1})]")));
    EXPECT_TRUE(
        text.contains(QStringLiteral("典型暴雨：2011-07-21 09:25 开始的 1440 分钟降雨，雨量 125.3 mm")));
    EXPECT_TRUE(text.contains(QStringLiteral("使用的年份：11 年（2009—2020），年份记录完整率下限 90%")));
    EXPECT_TRUE(text.contains(QStringLiteral("年最大值法，皮尔逊III型分布")));
    for (const NestedDesignDepth &d : storm.longProfile.nested) {
        EXPECT_TRUE(
            text.contains(QStringLiteral("<w:t>%1</w:t>").arg(GeneralNumber(RoundToShown(2, d.design)))))
            << d.duration;
        if (d.scale) {
            EXPECT_TRUE(
                text.contains(QStringLiteral("<w:t>%1</w:t>").arg(GeneralNumber(RoundToShown(4, *d.scale)))));
        }
    }
    for (const QString &note : storm.longProfile.notes)
        EXPECT_TRUE(text.contains(note.toHtmlEscaped())) << note.toStdString();
    EXPECT_TRUE(text.contains(
        QStringLiteral("累计降雨总量 H = %1 mm").arg(GeneralNumber(RoundToShown(4, storm.totalDepth)))));
    EXPECT_TRUE(text.contains(QStringLiteral("<w:t>23:55</w:t>")));
    EXPECT_TRUE(text.contains(QStringLiteral("r:embed=\"rId8\"")));
    EXPECT_TRUE(text.endsWith(sectPr + QStringLiteral("</w:body></w:document>")));

    storm = ExampleStorm(LongStormMethod::AverageVariability, 10);
    text = LongStormReportDocument(sectPr, storm, 4, rows, 1, false);
    EXPECT_TRUE(text.contains(QStringLiteral("h_i = p_i / 100 × H_P(D)")));
    EXPECT_TRUE(text.contains(QStringLiteral("统计暴雨：11 场 1440 分钟暴雨的平均雨型")));
    EXPECT_FALSE(text.contains(QStringLiteral("<w:drawing>")));
}

// Fitting the storm-intensity formula: the round trips from known formulas,
// that the fit is a real minimum, the accuracy table, and the frequency analysis
// against independently known values.
#include "fit/FormulaFit.h"

#include "export/FitReport.h"
#include "fit/FitCase.h"
#include "fit/FitTable.h"
#include "fit/FitTables.h"
#include "fit/FrequencyAnalysis.h"
#include "model/PluvionError.h"

#include <QXmlStreamReader>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>

namespace {

const std::vector<double> StandardDurations{5, 10, 15, 20, 30, 45, 60, 90, 120, 150, 180};
const std::vector<double> StandardPeriods{2, 3, 5, 10, 20, 30, 50, 100};

struct Known
{
    double a1, c, b, n;
    Logarithm log;
};

// The table a known formula gives, each value times (1 + noise × u) with u
// uniform in [−1, 1] from a fixed seed.
IntensityTable TableOf(const Known &k, double noise = 0, unsigned seed = 7)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    IntensityTable table;
    table.durations = StandardDurations;
    table.periods = StandardPeriods;
    const TotalFormula f{k.a1, k.c, k.b, k.n, k.log, 0};
    for (double t : table.durations)
        for (double p : table.periods)
            table.values.push_back(FormulaIntensity(f, t, p) * (1 + noise * u(random)));
    return table;
}

const Known Cases[] = {
    {9.5981, 0.846, 7.0, 0.656, Logarithm::Lg}, // the start-up storm's formula
    {20.0, 0.70, 0.05, 0.98, Logarithm::Lg},    // b near 0, n near 1
    {12.0, 0.45, 25.0, 0.80, Logarithm::Ln},    // ln P, a large b
    {6.5, 1.10, 12.0, 1.05, Logarithm::Lg},     // n above 1
    {3.2, 0.60, 2.0, 0.55, Logarithm::Ln},
};

} // namespace

TEST(FormulaFitTest, TotalFormulaRecoversTheFormulaThatMadeTheTable)
{
    for (const Known &k : Cases) {
        SCOPED_TRACE(testing::Message() << "A1=" << k.a1 << " b=" << k.b << " n=" << k.n);
        const TotalFormula f = FitTotalFormula(TableOf(k), k.log);
        EXPECT_NEAR(f.a1, k.a1, 1e-6 * k.a1);
        EXPECT_NEAR(f.c, k.c, 1e-6 * k.c);
        EXPECT_NEAR(f.b, k.b, std::max(1e-6 * k.b, 1e-7));
        EXPECT_NEAR(f.n, k.n, 1e-6 * k.n);
        EXPECT_LT(f.rss, 1e-20);

        // Each single-period column is i = A1 (1 + C log P) / (t + b)^n.
        const IntensityTable table = TableOf(k);
        const std::vector<PeriodFormula> single = FitPeriodFormulas(table);
        ASSERT_EQ(single.size(), table.periods.size());
        for (const PeriodFormula &p : single) {
            const double a =
                k.a1 * (1 + k.c * (k.log == Logarithm::Ln ? std::log(p.period) : std::log10(p.period)));
            EXPECT_NEAR(p.a, a, 1e-6 * a);
            EXPECT_NEAR(p.b, k.b, std::max(1e-6 * k.b, 1e-7));
            EXPECT_NEAR(p.n, k.n, 1e-6 * k.n);
        }
    }
}

// With ±1 % noise the parameters stay within a few per cent (b within 15 % or
// half a minute, as b trades off against n) and the accuracy criteria hold.
TEST(FormulaFitTest, NoisyTableGivesNearbyParametersWithinTheCriteria)
{
    for (const Known &k : Cases) {
        for (unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE(testing::Message() << "A1=" << k.a1 << " b=" << k.b << " seed " << seed);
            const IntensityTable table = TableOf(k, 0.01, seed);
            const TotalFormula f = FitTotalFormula(table, k.log);
            EXPECT_NEAR(f.a1, k.a1, 0.05 * k.a1);
            EXPECT_NEAR(f.c, k.c, 0.05 * k.c);
            EXPECT_NEAR(f.b, k.b, std::max(0.15 * k.b, 0.5));
            EXPECT_NEAR(f.n, k.n, 0.03 * k.n);
            const FormulaAccuracy accuracy = AssessAccuracy(table, f);
            EXPECT_TRUE(accuracy.passed);
            for (const PeriodAccuracy &p : accuracy.periods)
                EXPECT_LE(p.relative, 0.02);
        }
    }
}

// No small step of any parameter, either way, lowers the residual sum of squares.
TEST(FormulaFitTest, FitIsARealMinimum)
{
    for (const Known &k : Cases) {
        const IntensityTable table = TableOf(k, 0.02, 11);
        const TotalFormula f = FitTotalFormula(table, k.log);
        const double rss = ResidualSumOfSquares(table, f);
        EXPECT_NEAR(rss, f.rss, 1e-12 * rss);
        for (double TotalFormula::*param :
             {&TotalFormula::a1, &TotalFormula::c, &TotalFormula::b, &TotalFormula::n})
            for (double step : {-1e-4, -1e-6, 1e-6, 1e-4}) {
                TotalFormula moved = f;
                moved.*param += step * std::max(std::abs(f.*param), 1.0);
                EXPECT_GE(ResidualSumOfSquares(table, moved), rss * (1 - 1e-12));
            }

        const std::vector<PeriodFormula> single = FitPeriodFormulas(table);
        for (size_t p = 0; p < single.size(); ++p)
            for (double PeriodFormula::*param : {&PeriodFormula::a, &PeriodFormula::b, &PeriodFormula::n})
                for (double step : {-1e-5, 1e-5}) {
                    PeriodFormula moved = single[p];
                    moved.*param += step * std::max(std::abs(single[p].*param), 1.0);
                    EXPECT_GE(ResidualSumOfSquares(table, p, moved), single[p].rss * (1 - 1e-12));
                }
    }
}

// σ and the relative deviation against a direct computation on a small table.
TEST(FormulaFitTest, AccuracyTableMatchesADirectComputation)
{
    IntensityTable table;
    table.durations = {5, 10, 30};
    table.periods = {1, 2, 50};
    table.values = {2.0, 2.5, 4.0, 1.5, 1.9, 3.0, 0.8, 1.0, 1.6};
    const TotalFormula f{10.0, 0.8, 5.0, 0.7, Logarithm::Lg, 0};
    const FormulaAccuracy a = AssessAccuracy(table, f);
    ASSERT_EQ(a.periods.size(), 3u);
    for (size_t p = 0; p < 3; ++p) {
        double squares = 0, sum = 0;
        for (size_t d = 0; d < 3; ++d) {
            const double i =
                10.0 * (1 + 0.8 * std::log10(table.periods[p])) / std::pow(table.durations[d] + 5.0, 0.7);
            squares += (i - table.at(d, p)) * (i - table.at(d, p));
            sum += table.at(d, p);
        }
        EXPECT_DOUBLE_EQ(a.periods[p].sigma, std::sqrt(squares / 3));
        EXPECT_DOUBLE_EQ(a.periods[p].relative, std::sqrt(squares / 3) / (sum / 3));
    }
    // Only 2 a lies in the criteria's 2–20 a range.
    EXPECT_FALSE(a.periods[0].assessed);
    EXPECT_TRUE(a.periods[1].assessed);
    EXPECT_FALSE(a.periods[2].assessed);
    EXPECT_DOUBLE_EQ(a.meanSigma, a.periods[1].sigma);
    EXPECT_EQ(a.periods[1].passed, a.periods[1].sigma <= 0.05 || a.periods[1].relative <= 0.05);
    EXPECT_EQ(AccuracyVerdict(false, false), QStringLiteral("不考核"));
    EXPECT_EQ(AccuracyVerdict(true, true), QStringLiteral("合格"));
    EXPECT_EQ(AccuracyVerdict(true, false), QStringLiteral("不合格"));
}

// The fit's formula is the one written down: the parameters to their four
// decimals, and the residual and the accuracy table those of the written digits.
TEST(FormulaFitTest, OutcomeChecksTheFormulaAsWritten)
{
    const Known k{11.2967393927278, 0.65432178, 7.3456789, 0.71234567, Logarithm::Lg};
    const IntensityTable table = TableOf(k, 0.01, 5);
    FitSettings settings;
    const FitOutcome o = FitTable(table, settings);
    const TotalFormula fitted = FitTotalFormula(table, k.log);
    for (double TotalFormula::*param :
         {&TotalFormula::a1, &TotalFormula::c, &TotalFormula::b, &TotalFormula::n}) {
        EXPECT_EQ(o.total.*param, ParameterText(fitted.*param).toDouble());
        EXPECT_NE(o.total.*param, fitted.*param);
    }
    EXPECT_EQ(o.total.rss, ResidualSumOfSquares(table, o.total));
    const FormulaAccuracy written = AssessAccuracy(table, o.total);
    ASSERT_EQ(o.accuracy.periods.size(), written.periods.size());
    for (size_t p = 0; p < written.periods.size(); ++p)
        EXPECT_EQ(o.accuracy.periods[p].sigma, written.periods[p].sigma);
    EXPECT_EQ(StormWithFormula(StartUpStorm(), o.total).a1, o.total.a1);
}

TEST(FormulaFitTest, TotalFormulaNeedsTwoPeriods)
{
    IntensityTable table = TableOf(Cases[0]);
    IntensityTable one;
    one.durations = table.durations;
    one.periods = {table.periods[0]};
    for (size_t d = 0; d < table.durations.size(); ++d)
        one.values.push_back(table.at(d, 0));
    try {
        FitTotalFormula(one, Logarithm::Lg);
        FAIL();
    } catch (const PluvionError &e) {
        EXPECT_EQ(e.description(), QStringLiteral("总公式至少需要2个重现期，表中只有1个。"));
    }
    EXPECT_EQ(FitPeriodFormulas(one).size(), 1u);
}

// A table that no formula of the form follows (intensity rising with the
// duration) is refused, never answered with parameters that are not numbers.
TEST(FormulaFitTest, TableAgainstTheFormsShapeIsRefused)
{
    IntensityTable table;
    table.durations = {5, 10, 20};
    table.periods = {2, 5};
    table.values = {1, 1.2, 2, 2.4, 4, 4.8};
    try {
        const TotalFormula f = FitTotalFormula(table, Logarithm::Lg);
        EXPECT_TRUE(std::isfinite(f.a1) && std::isfinite(f.c) && std::isfinite(f.b) && std::isfinite(f.n));
    } catch (const PluvionError &e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("未能收敛")));
    }
}

// The report holds the formula, the accuracy table and the table, as a
// well-formed document whatever the texts hold.
TEST(FormulaFitTest, ReportHoldsTheResults)
{
    const FitOutcome o = FitTable(TableOf(Cases[0], 0.01, 5), FitSettings{});
    const QString document = FitReportDocument(o, QStringLiteral("<w:sectPr/>"));
    QXmlStreamReader xml(document);
    while (!xml.atEnd())
        xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_TRUE(document.contains(FormulaText(o.total).toHtmlEscaped()));
    EXPECT_TRUE(document.contains(QStringLiteral("2~20年平均")));

    const QStringList csv = FitReportCsvLines(o);
    EXPECT_EQ(csv[0], QStringLiteral("暴雨强度公式推求结果"));
    EXPECT_TRUE(csv.contains(QStringLiteral("A1,") + QString::number(o.total.a1, 'g', 10)));
    const PeriodAccuracy &first = o.accuracy.periods[0];
    EXPECT_TRUE(csv.contains(
        QStringLiteral("2,%1,%2,合格").arg(SigmaText(first.sigma), PercentText(first.relative))));
    EXPECT_EQ(csv.last().left(4), QStringLiteral("180,"));

    // A sample from records measured across a gap: its cell marked, its note after the table.
    const QString note = QStringLiteral("注：2019 年 10 分钟样本的时段内缺测 3 分钟，样本为已测雨量（偏小）");
    FitOutcome fromRecords = o;
    fromRecords.records = RecordsSummary{
        .read = QStringLiteral("记录文件 1 个"),
        .years = {QStringLiteral("年份,说明"), QStringLiteral("2019,使用")},
        .samples = {QStringLiteral("年份\\历时(min),5,10,15"), QStringLiteral("2019,8,14,14"), note},
        .peakRatio = {QStringLiteral("历时(min),r均值"), QStringLiteral("5,0.5")},
        .r = 0.5,
        .partialSamples = {{1, 2}},
    };
    const QString withRecords = FitReportDocument(fromRecords, QStringLiteral("<w:sectPr/>"));
    EXPECT_TRUE(withRecords.contains(QStringLiteral("<w:t>8</w:t>")));
    EXPECT_TRUE(withRecords.contains(QStringLiteral("<w:t>14*</w:t>")));
    EXPECT_EQ(withRecords.count(QStringLiteral("*</w:t>")), 1);
    EXPECT_TRUE(withRecords.contains(QStringLiteral("<w:t xml:space=\"preserve\">") + note + u'<'));
    EXPECT_TRUE(FitReportCsvLines(fromRecords).contains(note));
}

// The result tables are built once: the command line's lines and the CSV
// report hold the same cells, and a period keeps its digits.
TEST(FitTables, EveryFrontEndShowsTheSameCells)
{
    IntensityTable table = TableOf(Cases[0]);
    table.periods[0] = 1.0000001;
    const FitOutcome outcome = FitTable(table, FitSettings{});
    const FitResultTable accuracy = AccuracyTable(outcome);
    ASSERT_EQ(accuracy.rows.size(), table.periods.size() + 1);
    EXPECT_EQ(accuracy.rows[0][0], QStringLiteral("1.0000001"));
    EXPECT_EQ(PeriodFormulaTable(outcome).rows[0][0], QStringLiteral("1.0000001"));
    const QStringList summary = FitSummaryLines(outcome);
    const QStringList csv = FitReportCsvLines(outcome);
    for (const FitResultTable &t : {accuracy, PeriodFormulaTable(outcome)}) {
        for (const QStringList &row : t.rows) {
            EXPECT_TRUE(summary.contains(row.join(u','))) << row.join(u',').toStdString();
            EXPECT_TRUE(csv.contains(row.join(u','))) << row.join(u',').toStdString();
        }
    }
}

// A fit never passes what is not true: data with no least-squares minimum,
// data that fall as the return period grows, and a formula that is not
// positive over its own table are refused or fail, with their own reasons.
TEST(FormulaFitTest, FitsThatAreNotTrueAreRefusedWithTheirReason)
{
    const auto table = [](const std::function<double(double t, double p)> &intensity) {
        IntensityTable t;
        t.durations = StandardDurations;
        t.periods = StandardPeriods;
        for (double d : t.durations)
            for (double p : t.periods)
                t.values.push_back(intensity(d, p));
        return t;
    };
    const struct
    {
        const char *name;
        IntensityTable table;
        const char16_t *reason;
    } cases[] = {
        {"decays faster than any power",
         table([](double t, double p) { return 3 * (1 + 0.8 * std::log10(p)) * std::exp(-0.01 * t); }),
         u"未能收敛"},
        {"falls with the period",
         table([](double t, double p) { return 10 * (1 - 0.3 * std::log10(p)) / std::pow(t + 8, 0.7); }),
         u"随重现期增大而减小"},
        {"the same for every period", table([](double t, double) { return 10 / std::pow(t + 8, 0.7); }),
         u"随重现期增大而减小"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const TotalFormula f = FitTotalFormula(c.table, Logarithm::Lg);
            ADD_FAILURE() << "fitted: " << FormulaText(f).toStdString();
        } catch (const PluvionError &e) {
            EXPECT_TRUE(e.description().contains(QString::fromUtf16(c.reason)))
                << e.description().toStdString();
        }
    }

    // C < 0 that turns the formula negative at a period of the table: no pass anywhere.
    IntensityTable known = TableOf(Cases[0]);
    const TotalFormula negative{9.5981, -0.6, 7.0, 0.656, Logarithm::Lg, 0};
    const FormulaAccuracy accuracy = AssessAccuracy(known, negative);
    EXPECT_FALSE(accuracy.passed);
    for (const PeriodAccuracy &row : accuracy.periods)
        EXPECT_FALSE(row.passed) << row.period;
}

TEST(FitTables, FormulaTextWritesANegativeBAsASubtraction)
{
    const TotalFormula f{10.0, 0.8, -4.0, 0.7, Logarithm::Lg, 0};
    EXPECT_EQ(FormulaText(f), QStringLiteral("i = 10.0000(1 + 0.8000 lgP) / (t − 4.0000)^0.7000"));
}

// The long-duration design storm: the nest of a typical storm and its
// same-frequency scaling on a hand-built record, the average-variability
// pattern against a hand count, and the design depths against the frequency
// analysis run directly.
#include "records/LongStorm.h"

#include "model/PluvionError.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <numeric>
#include <random>

namespace {

constexpr double Tolerance = 1e-9;

struct KnownStorm
{
    std::int32_t start;
    std::vector<int> depths; // mm in each 5-minute interval
};

// Three years of 5-minute records listing only the rain: one storm of an
// hour a year, wet in its first and last interval so that one 60-minute
// window holds it whole.
// - 2001 (A): three wet intervals early, a wetter single one later: its
//   nest grows around the late one, away from the early rain;
// - 2002 (B): a peaked storm, the wettest of the three;
// - 2003 (C): a small storm across midnight.
const std::vector<KnownStorm> &KnownStorms()
{
    static const std::vector<KnownStorm> storms{
        {RecordMinute(2001, 7, 1, 10, 0), {4, 4, 4, 0, 0, 0, 0, 0, 9, 0, 0, 1}},
        {RecordMinute(2002, 8, 15, 20, 0), {1, 2, 3, 5, 8, 6, 4, 2, 1, 1, 1, 1}},
        {RecordMinute(2003, 6, 30, 23, 30), {1, 0, 0, 0, 0, 2, 1, 0, 0, 0, 0, 1}},
    };
    return storms;
}

RainRecord KnownRecord()
{
    RecordRows rows;
    rows.file = QStringLiteral("a.csv");
    for (const KnownStorm &storm : KnownStorms())
        for (size_t k = 0; k < storm.depths.size(); ++k)
            if (storm.depths[k] > 0) {
                rows.minutes.push_back(storm.start + 5 * std::int32_t(k));
                rows.depths.push_back(storm.depths[k] * DepthPerMillimetre);
            }
    rows.noteLine(0, 1);
    RecordSettings settings;
    settings.step = 5;
    return MergeRecordRows({rows}, settings);
}

// An hour at 5 minutes, scaled to a formula's depths H = i(d, P) × d.
LongStormSettings HourSettings(double n = 0.7)
{
    LongStormSettings settings;
    settings.duration = 60;
    settings.step = 5;
    settings.period = 10;
    settings.source = DesignDepthSource::Formula;
    settings.formula.a1 = 10;
    settings.formula.b = 10;
    settings.formula.n = n;
    return settings;
}

double FormulaDepth(const LongStormSettings &settings, int minutes)
{
    return FormulaIntensity(settings.formula, minutes, settings.period) * minutes;
}

double Sum(const std::vector<double> &values, size_t first, size_t count)
{
    return std::accumulate(values.begin() + std::ptrdiff_t(first),
                           values.begin() + std::ptrdiff_t(first + count), 0.0);
}

QString ErrorOf(const std::function<void()> &run)
{
    try {
        run();
    } catch (const PluvionError &error) {
        return error.description();
    }
    return {};
}

} // namespace

TEST(LongStormTest, NestsAndScalesTheWettestStorm)
{
    const RainRecord record = KnownRecord();
    const LongStormSettings settings = HourSettings();
    const LongStorm storm = BuildLongStorm(record, settings);

    ASSERT_EQ(storm.candidates.size(), 3u);
    for (size_t k = 0; k < 3; ++k)
        EXPECT_EQ(storm.candidates[k].start, KnownStorms()[k].start);
    EXPECT_EQ(storm.typical.start, KnownStorms()[1].start);
    EXPECT_FALSE(storm.typicalChosen);
    EXPECT_EQ(storm.years, (std::vector<int>{2001, 2002, 2003}));
    EXPECT_EQ(storm.source, DesignDepthSource::Formula);

    // B = 1 2 3 5 [8] 6 4 2 1 1 1 1: the core is the 8; of the 15-minute
    // windows holding it 5 8 6 is the wettest; of the 30-minute windows
    // holding that, 2..7 and 3..8 tie at 28 and the earlier is taken.
    const std::vector<int> x = KnownStorms()[1].depths;
    const struct
    {
        int duration;
        int nestedStart;
        double typical;
        double ringRain;
    } nest[] = {{5, 4, 8, 8}, {15, 3, 19, 11}, {30, 1, 28, 9}, {60, 0, 35, 7}};
    const int ringOf[] = {3, 2, 2, 1, 0, 1, 2, 3, 3, 3, 3, 3};
    ASSERT_EQ(storm.durations.size(), 4u);
    std::vector<double> factors;
    for (size_t j = 0; j < 4; ++j) {
        const NestedDuration &nested = storm.durations[j];
        const double design = FormulaDepth(settings, nest[j].duration);
        const double below = j == 0 ? 0 : FormulaDepth(settings, nest[j - 1].duration);
        factors.push_back((design - below) / nest[j].ringRain);
        EXPECT_EQ(nested.duration, nest[j].duration);
        EXPECT_DOUBLE_EQ(nested.design, design);
        EXPECT_EQ(nested.nestedStart, nest[j].nestedStart) << nested.duration;
        EXPECT_DOUBLE_EQ(nested.typical, nest[j].typical);
        EXPECT_NEAR(nested.scale, factors.back(), Tolerance);
        EXPECT_TRUE(nested.wettest);
        EXPECT_FALSE(nested.dryRing);
        // The invariant: every nested window of the design storm holds its design depth.
        EXPECT_NEAR(Sum(storm.depths, size_t(nest[j].nestedStart), size_t(nest[j].duration / 5)), design,
                    Tolerance);
    }
    ASSERT_EQ(storm.depths.size(), 12u);
    for (size_t i = 0; i < 12; ++i)
        EXPECT_NEAR(storm.depths[i], x[i] * factors[size_t(ringOf[i])], Tolerance) << i;

    // The last ring is scaled up more than the 30-minute one: the 30 minutes
    // 2..7 (with the 2 of the last ring instead of the 2 of its own) end
    // wetter than H(30), and the result says by how much.
    const NestedDuration &half = storm.durations[2];
    EXPECT_EQ(half.designWettestStart, 2);
    EXPECT_NEAR(half.excess, Sum(storm.depths, 2, 6) - half.design, Tolerance);
    EXPECT_NEAR(half.excess, 2 * (factors[3] - factors[2]), Tolerance);
    EXPECT_GT(half.excess, 0.7);
    EXPECT_TRUE(storm.notes.filter(QStringLiteral("设计雨型中最大的 30 分钟时段雨量")).size() == 1)
        << storm.notes.join(u'\n').toStdString();
    for (const size_t j : {0, 1, 3})
        EXPECT_EQ(storm.durations[j].excess, 0) << storm.durations[j].duration;
}

TEST(LongStormTest, ScalesANamedStormWithDryRingsAndANestApartFromItsWettestWindows)
{
    const RainRecord record = KnownRecord();
    LongStormSettings settings = HourSettings();
    settings.typicalStart = ParseStormStart(QStringLiteral("2001-07-01 10:00"));
    const LongStorm storm = BuildLongStorm(record, settings);
    EXPECT_EQ(storm.typical.start, KnownStorms()[0].start);
    EXPECT_TRUE(storm.typicalChosen);

    // A = 4 4 4 0 0 0 0 0 [9] 0 0 1: the 15-minute windows holding the 9
    // all hold 9 and the earliest, 6..8, is taken: its ring 6, 7 is dry and
    // gets its design depth evenly. The 30 minutes 6..11 add the last 1.
    // Neither window is the storm's wettest of its duration (the early 4 4 4).
    const double h[] = {FormulaDepth(settings, 5), FormulaDepth(settings, 15), FormulaDepth(settings, 30),
                        FormulaDepth(settings, 60)};
    const std::vector<double> expected{4 * (h[3] - h[2]) / 12,
                                       4 * (h[3] - h[2]) / 12,
                                       4 * (h[3] - h[2]) / 12,
                                       0,
                                       0,
                                       0,
                                       (h[1] - h[0]) / 2,
                                       (h[1] - h[0]) / 2,
                                       h[0],
                                       0,
                                       0,
                                       h[2] - h[1]};
    ASSERT_EQ(storm.depths.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(storm.depths[i], expected[i], Tolerance) << i;
    const struct
    {
        int nestedStart;
        bool wettest;
        double typicalWettest;
        bool dryRing;
    } nest[] = {{8, true, 9, false}, {6, false, 12, true}, {6, false, 12, false}, {0, true, 22, false}};
    for (size_t j = 0; j < 4; ++j) {
        const NestedDuration &nested = storm.durations[j];
        EXPECT_EQ(nested.nestedStart, nest[j].nestedStart) << nested.duration;
        EXPECT_EQ(nested.wettest, nest[j].wettest) << nested.duration;
        EXPECT_DOUBLE_EQ(nested.typicalWettest, nest[j].typicalWettest) << nested.duration;
        EXPECT_EQ(nested.dryRing, nest[j].dryRing) << nested.duration;
        EXPECT_EQ(std::isnan(nested.scale), nest[j].dryRing) << nested.duration;
    }
    const QString notes = storm.notes.join(u'\n');
    EXPECT_TRUE(notes.contains(
        QStringLiteral("典型暴雨：2001-07-01 10:00 开始的 60 分钟降雨，雨量 22.00 mm，由用户指定")))
        << notes.toStdString();
    EXPECT_TRUE(notes.contains(QStringLiteral(
        "典型暴雨的 15 分钟嵌套时段雨量 9.00 mm，不是该场暴雨最大的 15 分钟时段（12.00 mm）")));
    EXPECT_TRUE(notes.contains(QStringLiteral("典型暴雨在 5 分钟至 15 分钟嵌套时段之间无雨")));
    EXPECT_TRUE(notes.contains(QStringLiteral("雨量相等的时段取较早者")));

    // A start that is no candidate's is refused with the candidates' starts.
    settings.typicalStart = ParseStormStart(QStringLiteral("2001-07-01 10:05"));
    EXPECT_EQ(ErrorOf([&] { BuildLongStorm(record, settings); }),
              QStringLiteral("2001-07-01 10:05 不是候选暴雨的开始时间，候选暴雨开始于："
                             "2001-07-01 10:00、2002-08-15 20:00、2003-06-30 23:30"));
}

TEST(LongStormTest, RefusesWhatCannotMakeAStorm)
{
    const RainRecord record = KnownRecord(); // 5-minute step
    const auto refusal = [&](const std::function<void(LongStormSettings &)> &change) {
        LongStormSettings settings = HourSettings();
        change(settings);
        return ErrorOf([&] { BuildLongStorm(record, settings); });
    };
    const struct
    {
        std::function<void(LongStormSettings &)> change;
        const char *message;
    } cases[] = {
        // A depth that falls from 5 to 15 minutes (H = 10 / √d) cannot be scaled.
        {[](LongStormSettings &s) { s.formula.n = 1.5, s.formula.b = 0; },
         "历时 15 分钟的设计雨量 2.58 mm 小于历时 5 分钟的 4.47 mm，无法同频率放大"},
        {[](LongStormSettings &s) { s.duration = 1500; }, "雨型历时 1500 分钟应大于 0 且不超过 1440 分钟"},
        {[](LongStormSettings &s) { s.step = 25; }, "时段长 25 分钟不能整除雨型历时 60 分钟"},
        {[](LongStormSettings &s) { s.step = 7; }, "时段长 7 分钟不能整除雨型历时 60 分钟"},
        {[](LongStormSettings &s) { s.duration = 6, s.step = 3; },
         "时段长 3 分钟应为记录步长 5 分钟的整数倍"},
        {[](LongStormSettings &s) {
             s.nested = {5, 15, 12, 60};
         },
         "嵌套历时 12 分钟应为时段长 5 分钟的整数倍"},
        {[](LongStormSettings &s) {
             s.nested = {5, 30, 15, 60};
         },
         "嵌套历时 15 分钟应大于前一历时 30 分钟"},
        {[](LongStormSettings &s) {
             s.nested = {5, 15, 30};
         },
         "嵌套历时应以雨型历时 60 分钟结束，而最后一个为 30 分钟"},
        {[](LongStormSettings &s) {
             s.nested = {5, 120};
         },
         "嵌套历时 120 分钟超过雨型历时 60 分钟"},
        {[](LongStormSettings &s) {
             s.method = LongStormMethod::AverageVariability;
             s.storms = VariabilityStorms::LargestIndependent;
             s.stormCount = 4;
         },
         "记录中只有 3 场互不重叠的 60 分钟降雨，少于要求的 4 场"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(refusal(c.change), QString::fromUtf8(c.message));

    RainRecord unused = record;
    for (RecordYear &year : unused.years)
        year.used = false;
    EXPECT_EQ(ErrorOf([&] { BuildLongStorm(unused, HourSettings()); }),
              QStringLiteral("没有完整率达到 90% 的年份，无法取样"));
}

TEST(LongStormTest, NestedDurationsDefaultToTheDayListWithinTheStorm)
{
    const struct
    {
        int duration;
        int step;
        std::vector<int> nested;
    } cases[] = {
        {1440, 5, {5, 15, 30, 60, 120, 180, 360, 720, 1440}},
        {1440, 60, {60, 120, 180, 360, 720, 1440}},
        {120, 10, {10, 30, 60, 120}},
        {720, 20, {20, 60, 120, 180, 360, 720}},
        {60, 60, {60}},
    };
    for (const auto &c : cases) {
        LongStormSettings settings;
        settings.duration = c.duration;
        settings.step = c.step;
        EXPECT_EQ(NestedDurations(settings), c.nested) << c.duration << " " << c.step;
    }
}

TEST(LongStormTest, AverageVariabilityPatternOfAHandCount)
{
    // Ranks by position: 3 1 2 4, 4 2 1 3, 2 1 3 4; shares by rank: 50 30 20 0,
    // 40 30 20 10, 50 25 16.667 8.333. A dry storm is left out and counted.
    const VariabilityPattern pattern =
        AverageVariabilityPattern({{2, 5, 3, 0}, {1, 3, 4, 2}, {0, 0, 0, 0}, {3, 6, 2, 1}});
    EXPECT_EQ(pattern.used, 3);
    EXPECT_EQ(pattern.skipped, 1);
    const std::vector<double> ranks{3.0, 4.0 / 3, 2.0, 11.0 / 3};
    const std::vector<double> percents{140.0 / 3, 85.0 / 3, 170.0 / 9, 55.0 / 9};
    const std::vector<double> shares{170.0 / 9, 140.0 / 3, 85.0 / 3, 55.0 / 9};
    for (size_t k = 0; k < 4; ++k) {
        EXPECT_NEAR(pattern.averageRanks[k], ranks[k], Tolerance);
        EXPECT_NEAR(pattern.averagePercents[k], percents[k], Tolerance);
        EXPECT_NEAR(pattern.pattern[k], shares[k], Tolerance);
    }
    EXPECT_NEAR(pattern.pattern[0], 18.889, 5e-4);
    EXPECT_NEAR(pattern.pattern[1], 46.667, 5e-4);

    // Any storms: the pattern is a whole storm; equal ranks go to the earlier position.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> depth(0, 4);
    std::vector<std::vector<double>> storms(9, std::vector<double>(24));
    for (std::vector<double> &storm : storms)
        for (double &value : storm)
            value = depth(random);
    const VariabilityPattern any = AverageVariabilityPattern(storms);
    EXPECT_NEAR(std::accumulate(any.pattern.begin(), any.pattern.end(), 0.0), 100, Tolerance);
    EXPECT_EQ(AverageVariabilityPattern({{1, 1, 1, 1}}).pattern, (std::vector<double>{25, 25, 25, 25}));
    EXPECT_EQ(AverageVariabilityPattern({{1, 3, 3}}).pattern,
              (std::vector<double>{100.0 / 7, 300.0 / 7, 300.0 / 7}));
    EXPECT_FALSE(ErrorOf([] { AverageVariabilityPattern({{1, 2}, {1, 2, 3}}); }).isEmpty());
    EXPECT_FALSE(ErrorOf([] { AverageVariabilityPattern({{0, 0}}); }).isEmpty());
}

TEST(LongStormTest, AverageVariabilityStormFromTheRecord)
{
    const RainRecord record = KnownRecord();
    LongStormSettings settings = HourSettings();
    settings.method = LongStormMethod::AverageVariability;
    for (const VariabilityStorms choice :
         {VariabilityStorms::AnnualLargest, VariabilityStorms::LargestIndependent}) {
        settings.storms = choice;
        settings.stormCount = 3;
        const LongStorm storm = BuildLongStorm(record, settings);
        ASSERT_EQ(storm.storms.size(), 3u);
        std::vector<std::vector<double>> intervals;
        for (size_t k = 0; k < 3; ++k) {
            EXPECT_EQ(storm.storms[k].start, KnownStorms()[k].start);
            intervals.emplace_back(KnownStorms()[k].depths.begin(), KnownStorms()[k].depths.end());
        }
        const VariabilityPattern pattern = AverageVariabilityPattern(intervals);
        const double total = FormulaDepth(settings, 60);
        ASSERT_EQ(storm.depths.size(), 12u);
        for (size_t i = 0; i < 12; ++i)
            EXPECT_NEAR(storm.depths[i], pattern.pattern[i] / 100 * total, Tolerance);
        EXPECT_NEAR(Sum(storm.depths, 0, 12), total, Tolerance);
    }
}

TEST(LongStormTest, DesignDepthsFromRecordsAreTheFrequencyAnalysisAtTheNestedDurations)
{
    // Fifteen years of 5-minute records: a few storms a year of random shape.
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(0, 1);
    RecordRows rows;
    rows.file = QStringLiteral("a.csv");
    for (int year = 2001; year <= 2015; ++year)
        for (int storm = 0; storm < 4; ++storm) {
            const std::int32_t start =
                RecordMinute(year, 3 + 2 * storm, 10, 0, 0) + 5 * int(unit(random) * 200);
            const int length = 6 + int(unit(random) * 60);
            const double scale = 0.5 + 4 * unit(random);
            for (int k = 0; k < length; ++k) {
                rows.minutes.push_back(start + 5 * k);
                rows.depths.push_back(std::int32_t(1000 * scale * unit(random) * (1 + (k * 7 % length))));
            }
        }
    rows.noteLine(0, 1);
    RecordSettings recordSettings;
    recordSettings.step = 5;
    const RainRecord record = MergeRecordRows({rows}, recordSettings);

    struct Case
    {
        SamplingMethod method;
        FrequencyDistribution distribution;
        bool annualMaximumPeriods;
    };
    for (const Case c : {Case{SamplingMethod::AnnualMaximum, FrequencyDistribution::PearsonIII, false},
                         Case{SamplingMethod::AnnualMultiple, FrequencyDistribution::Exponential, true}}) {
        LongStormSettings settings;
        settings.duration = 180;
        settings.step = 10;
        settings.period = 5;
        settings.sampling.method = c.method;
        settings.frequency.distribution = c.distribution;
        settings.frequency.annualMaximumPeriods = c.annualMaximumPeriods;
        const LongStorm storm = BuildLongStorm(record, settings);
        EXPECT_EQ(storm.source, DesignDepthSource::Records);
        EXPECT_EQ(storm.settings.nested, (std::vector<int>{10, 30, 60, 120, 180}));

        RecordSampling sampling;
        sampling.method = c.method;
        sampling.durations = storm.settings.nested;
        const RecordSamples samples = TakeRecordSamples(record, sampling);
        FrequencySettings frequency;
        frequency.sampling = c.method;
        frequency.years = samples.years;
        frequency.distribution = c.distribution;
        frequency.annualMaximumPeriods = c.annualMaximumPeriods;
        frequency.periods = {5};
        const FrequencyResult direct = AnalyseSamples(RecordSampleTable(samples), frequency);
        ASSERT_EQ(storm.durations.size(), 5u);
        for (size_t j = 0; j < 5; ++j) {
            const NestedDuration &nested = storm.durations[j];
            EXPECT_DOUBLE_EQ(nested.design, direct.table.at(j, 0) * nested.duration) << nested.duration;
            EXPECT_NEAR(Sum(storm.depths, size_t(nested.nestedStart), size_t(nested.duration / 10)),
                        nested.design, 1e-9);
        }
    }
}

TEST(LongStormTest, StartTextsBothWays)
{
    const std::int32_t minute = RecordMinute(2019, 7, 21, 14, 5);
    EXPECT_EQ(StormStartText(minute), QStringLiteral("2019-07-21 14:05"));
    EXPECT_EQ(ParseStormStart(QStringLiteral(" 2019-07-21 14:05 ")), minute);
    EXPECT_EQ(ParseStormStart(QStringLiteral("2019-7-21 14:05")), minute);
    for (const char *bad : {"2019-07-21", "2019-02-30 10:00", "2019-07-21 24:00", "2019/07/21 14:05", "明天"})
        EXPECT_EQ(ErrorOf([&] { ParseStormStart(QString::fromUtf8(bad)); }),
                  QStringLiteral("开始时间“%1”应为“年-月-日 时:分”的形式，如 2019-07-21 14:05")
                      .arg(QString::fromUtf8(bad)));
}

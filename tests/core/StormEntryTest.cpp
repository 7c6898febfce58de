#include "model/StormEntry.h"

#include "model/NumberForms.h"
#include "model/PluvionError.h"

#include <functional>
#include <gtest/gtest.h>
#include <tuple>

namespace {

// The dialog's texts for the start-up storm.
StormEntry StartUpEntry()
{
    StormEntry e;
    e.a1 = QStringLiteral("9.5981");
    e.c = QStringLiteral("0.846");
    e.b = QStringLiteral("7");
    e.n = QStringLiteral("0.656");
    e.repeatYear = QStringLiteral("2");
    e.stormTime = QStringLiteral("120");
    e.stormPercent = QStringLiteral("0.4");
    e.step = QStringLiteral("1");
    e.stormType = 0;
    e.lgLn = 0;
    return e;
}

auto fields(const Storm &s)
{
    return std::tie(s.form, s.a1, s.a1Flow, s.c, s.b, s.n, s.log, s.period, s.duration, s.step, s.peakRatio,
                    s.averageIntensity, s.totalDepth, s.mode);
}

// A storm with results, to store into: every field differs from the start-up entry.
Storm ComputedStorm()
{
    Storm s;
    s.form = FormulaForm::Flow;
    s.a1 = 3;
    s.a1Flow = 500;
    s.c = 0.5;
    s.b = 12;
    s.n = 0.7;
    s.log = Logarithm::Ln;
    s.period = 50;
    s.duration = 180;
    s.step = 5;
    s.peakRatio = 0.35;
    s.averageIntensity = 1.5;
    s.totalDepth = 270;
    return s;
}

struct CheckCase
{
    const char *name;
    std::function<void(StormEntry &)> change;
    QString placeholder;
    QString message; // empty: the entry passes
    StormEntryField focus;
};

TEST(StormEntryCheck, FirstFailingCheckInOrder)
{
    const CheckCase cases[] = {
        {"valid", [](StormEntry &) {}, "A1", "", StormEntryField::A1},
        {"A1 empty, i", [](StormEntry &e) { e.a1.clear(); }, "A1", "[A1]不能为空！", StormEntryField::A1},
        {"A1 blanks, q", [](StormEntry &e) { e.a1 = " \t\r\n"; }, "166.7A1", "[166.7A1]不能为空！",
         StormEntryField::A1},
        {"C and b empty", [](StormEntry &e) { e.c.clear(), e.b.clear(); }, "A1", "[c]不能为空！",
         StormEntryField::C},
        {"b empty", [](StormEntry &e) { e.b = " "; }, "A1", "[b]不能为空！", StormEntryField::B},
        {"n empty", [](StormEntry &e) { e.n.clear(); }, "A1", "[n]不能为空！", StormEntryField::N},
        {"P empty", [](StormEntry &e) { e.repeatYear.clear(); }, "A1", "重现期不能为空！",
         StormEntryField::RepeatYear},
        {"T and r empty", [](StormEntry &e) { e.stormTime.clear(), e.stormPercent.clear(); }, "A1",
         "降雨历时不能为空！", StormEntryField::StormTime},
        {"r empty", [](StormEntry &e) { e.stormPercent.clear(); }, "A1", "峰值比例不能为空！",
         StormEntryField::StormPercent},
        {"r out of range before step empty", [](StormEntry &e) { e.stormPercent = "1", e.step.clear(); },
         "A1", "峰值比例只能取值(0~1)之间，不包括0和1", StormEntryField::StormPercent},
        {"step empty", [](StormEntry &e) { e.step.clear(); }, "A1", "计算步长不能为空！",
         StormEntryField::Step},
        // Only r is range-tested and only emptiness elsewhere: letters and zeros pass the checks.
        {"not numbers elsewhere", [](StormEntry &e) { e.c = "x", e.step = "0", e.stormTime = "0"; }, "A1", "",
         StormEntryField::A1},
    };
    for (const CheckCase &c : cases) {
        SCOPED_TRACE(c.name);
        StormEntry entry = StartUpEntry();
        c.change(entry);
        const auto problem = CheckStormEntry(entry, c.placeholder, u'.');
        if (c.message.isEmpty()) {
            EXPECT_FALSE(problem.has_value());
            continue;
        }
        ASSERT_TRUE(problem.has_value());
        EXPECT_EQ(problem->message, c.message);
        EXPECT_EQ(problem->focus, c.focus);
    }
}

TEST(StormEntryCheck, PeakRatioMustLieStrictlyBetweenZeroAndOne)
{
    const QString refused = QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1");
    const std::pair<const char *, bool> cases[] = {
        {"0", false},   {"1", false},    {"1.5", false},  {"-0.2", false},
        {"NAN", false}, {"0.999", true}, {"0.001", true}, {" 0.5 ", true},
    };
    for (const auto &[text, accepted] : cases) {
        SCOPED_TRACE(text);
        StormEntry entry = StartUpEntry();
        entry.stormPercent = QString::fromLatin1(text);
        const auto problem = CheckStormEntry(entry, "A1", u'.');
        if (accepted) {
            EXPECT_FALSE(problem.has_value());
        } else {
            ASSERT_TRUE(problem.has_value());
            EXPECT_EQ(problem->message, refused);
        }
    }

    // The locale's separator reads the ratio.
    StormEntry comma = StartUpEntry();
    comma.stormPercent = QStringLiteral("0,4");
    EXPECT_FALSE(CheckStormEntry(comma, "A1", u',').has_value());
}

TEST(StormEntryCheck, PeakRatioThatIsNoNumberRaisesTheConversionError)
{
    StormEntry entry = StartUpEntry();
    entry.stormPercent = QStringLiteral("0.4.1");
    entry.step.clear();
    try {
        CheckStormEntry(entry, "A1", u'.');
        FAIL() << "no error raised";
    } catch (const PluvionError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("'0.4.1' is not a valid floating point value"));
    }
}

TEST(StormEntryStore, StoresEveryParameterAndZeroesTheResults)
{
    StormEntry entry = StartUpEntry();
    entry.a1 = QStringLiteral(" 10 ");
    entry.lgLn = 1;
    entry.repeatYear = QStringLiteral("0");
    entry.stormTime = QStringLiteral("1440");
    entry.stormPercent = QStringLiteral("0.999");
    entry.step = QStringLiteral("0");
    entry.stormMode = 1;
    Storm storm = ComputedStorm();

    ASSERT_TRUE(StoreStormEntry(entry, storm, Separators{}));
    EXPECT_EQ(storm.mode, CalcMode::Block);
    EXPECT_EQ(storm.form, FormulaForm::Intensity);
    EXPECT_EQ(storm.a1, 10);
    EXPECT_EQ(GeneralNumber(storm.a1Flow), "1666.66666666667");
    EXPECT_EQ(storm.c, 0.846);
    EXPECT_EQ(storm.b, 7);
    EXPECT_EQ(storm.n, 0.656);
    EXPECT_EQ(storm.log, Logarithm::Ln);
    EXPECT_EQ(storm.period, 0);
    EXPECT_EQ(storm.duration, 1440);
    EXPECT_EQ(storm.peakRatio, 0.999);
    EXPECT_EQ(storm.step, 0);
    EXPECT_EQ(storm.averageIntensity, 0);
    EXPECT_EQ(storm.totalDepth, 0);
}

TEST(StormEntryStore, TypedValueKeepsItsFormAndTheOtherIsDerived)
{
    struct Case
    {
        int form;
        const char *typed;
        const char *a1;
        const char *a1Flow;
    };
    const Case cases[] = {
        {0, "10", "10", "1666.66666666667"},  {0, "9.5981", "9.5981", "1599.68333333333"},
        {1, "1667", "10.002", "1667"},        {1, "1000", "6", "1000"},
        {1, "9.5981", "0.0575886", "9.5981"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        StormEntry entry = StartUpEntry();
        entry.stormType = c.form;
        entry.a1 = QString::fromLatin1(c.typed);
        Storm storm = ComputedStorm();
        ASSERT_TRUE(StoreStormEntry(entry, storm, Separators{}));
        EXPECT_EQ(storm.form, FormulaForm(c.form));
        EXPECT_EQ(GeneralNumber(storm.a1), c.a1);
        EXPECT_EQ(GeneralNumber(storm.a1Flow), c.a1Flow);
    }
}

TEST(StormEntryStore, AnyValueThatDoesNotConvertLeavesTheStormUntouched)
{
    const std::pair<const char *, std::function<void(StormEntry &)>> cases[] = {
        {"A1 text", [](StormEntry &e) { e.a1 = "abc"; }},
        {"n text", [](StormEntry &e) { e.n = "0.6x"; }},
        {"P 1.2.3", [](StormEntry &e) { e.repeatYear = "1.2.3"; }},
        {"T text", [](StormEntry &e) { e.stormTime = "两小时"; }},
        {"step beyond 32 bits", [](StormEntry &e) { e.step = "2147483648"; }},
        {"step with a fraction", [](StormEntry &e) { e.step = "1.5"; }},
    };
    for (const auto &[name, change] : cases) {
        SCOPED_TRACE(name);
        StormEntry entry = StartUpEntry();
        entry.stormType = 1;
        change(entry);
        Storm storm = ComputedStorm();
        EXPECT_FALSE(StoreStormEntry(entry, storm, Separators{}));
        EXPECT_EQ(fields(storm), fields(ComputedStorm()));
    }
}

TEST(StormEntryStore, NoSelectedEntryStoresMinusOneAndTwoHundredFiftyFive)
{
    StormEntry entry = StartUpEntry();
    entry.stormType = -1;
    entry.lgLn = -1;
    entry.stormMode = -1;
    entry.a1 = QStringLiteral("20");
    Storm storm = ComputedStorm();
    storm.mode = CalcMode::Block;

    ASSERT_TRUE(StoreStormEntry(entry, storm, Separators{}));
    EXPECT_EQ(storm.form, FormulaForm(-1));
    EXPECT_EQ(storm.a1, 3);
    EXPECT_EQ(storm.a1Flow, 500);
    EXPECT_EQ(storm.log, static_cast<Logarithm>(255));
    EXPECT_EQ(storm.mode, CalcMode::Block); // no mode chosen: the storm keeps its own
    EXPECT_EQ(storm.c, 0.846);
}

TEST(StormEntryStore, ReadsNumbersWithTheLocaleSeparator)
{
    StormEntry entry = StartUpEntry();
    entry.a1 = QStringLiteral("9,5981");
    entry.stormPercent = QStringLiteral("0,4");
    Separators comma;
    comma.decimal = u',';
    Storm storm;
    EXPECT_FALSE(StoreStormEntry(entry, storm, comma)); // "0.846" is no number with a comma separator
    entry.c = QStringLiteral("0,846");
    entry.n = QStringLiteral("0,656");
    ASSERT_TRUE(StoreStormEntry(entry, storm, comma));
    EXPECT_EQ(storm.a1, 9.5981);
    EXPECT_EQ(storm.peakRatio, 0.4);
}

} // namespace

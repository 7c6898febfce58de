// The generator on arbitrary storms: it never crashes or hangs, fails only
// with the descriptions users can meet, gives exactly what the reference
// computation with every operation checked gives, and a storm it computes has
// the rows and totals its listing rules promise.

#include "FuzzSupport.h"
#include "model/NumberForms.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"

#include <QStringList>
#include <cstring>

namespace {

// Keeps every run short: a duration the generator would compute for longer
// than 5000 minutes is folded into 0..5000. Durations it refuses outright
// (above the limit, not a number) pass unchanged, and so do negative ones,
// which compute nothing.
double CappedDuration(double T)
{
    if (T > 5000 && T <= double(MaxStormMinutes))
        return std::fmod(T, 5000.0);
    return T;
}

bool IsKnownFailure(const QString &description)
{
    static const QStringList known = {
        QStringLiteral("Division by zero"),
        QStringLiteral("Invalid floating point operation"),
        QStringLiteral("Floating point division by zero"),
        QStringLiteral("Floating point overflow"),
        QStringLiteral("List index out of bounds (-1)"),
        BlockDurationNotPositiveMessage(),
        BlockPeakRatioOutsideMessage(),
    };
    return known.contains(description) || description.contains(QStringLiteral("10000000"));
}

void CheckInstantRows(const Storm &storm, const RainPoints &points)
{
    const long long last = static_cast<long long>(std::trunc(storm.duration));
    const long long step = std::llabs(static_cast<long long>(storm.step));
    const size_t expected = size_t(last / step + 1 + (last % step != 0 ? 1 : 0));
    FUZZ_CHECK(points.size() == expected, "%zu rows for T = %.17g and step %d, expected %zu", points.size(),
               storm.duration, storm.step, expected);
    for (size_t i = 0; i < points.size(); ++i) {
        const double expectedTime = i + 1 == points.size() ? double(last) : double(i) * double(step);
        FUZZ_CHECK(points[i].Time == expectedTime, "row %zu has minute %.17g, expected %.17g", i,
                   points[i].Time, expectedTime);
    }
}

void CheckBlockRows(const Storm &storm, const RainPoints &points)
{
    // One step for every start k s below T.
    const double step = std::fabs(double(storm.step));
    const long double T = storm.duration;
    long double count = std::floor(T / step);
    while (count * step < T)
        ++count;
    while (count > 0 && (count - 1) * step >= T)
        --count;
    FUZZ_CHECK((long double)points.size() == count, "%zu steps for T = %.17g and step %d", points.size(),
               storm.duration, storm.step);
    for (size_t i = 0; i < points.size(); ++i)
        FUZZ_CHECK(points[i].Time == double(i) * step, "step %zu starts at %.17g", i, points[i].Time);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    Storm storm;
    storm.form = FormulaForm(data.ConsumeIntegralInRange<int32_t>(0, 1));
    storm.a1 = ConsumeAwkwardDouble(data);
    storm.a1Flow = storm.a1 / FlowFormFactor;
    storm.c = ConsumeAwkwardDouble(data);
    storm.b = ConsumeAwkwardDouble(data);
    storm.n = ConsumeAwkwardDouble(data);
    storm.log = static_cast<Logarithm>(data.ConsumeIntegral<uint8_t>() % 4);
    storm.period = ConsumeAwkwardDouble(data);
    storm.duration = CappedDuration(ConsumeAwkwardDouble(data));
    storm.peakRatio = ConsumeAwkwardDouble(data);
    storm.step =
        data.ConsumeBool() ? data.ConsumeIntegralInRange<int32_t>(-10, 130) : data.ConsumeIntegral<int32_t>();
    storm.mode = data.ConsumeBool() ? CalcMode::Block : CalcMode::Instant;
    const bool calcByShow = data.ConsumeBool();
    const int precision =
        data.ConsumeBool() ? data.ConsumeIntegralInRange<int>(0, 20) : data.ConsumeIntegral<int32_t>();
    // Results of an earlier storm, which a failure must leave in place.
    storm.averageIntensity = 1234.5;
    storm.totalDepth = 6789.25;

    // The reference computation, every operation checked: the generator must
    // give its rows, totals and failure bit for bit.
    Storm reference = storm;
    RainPoints referencePoints;
    const std::optional<QString> referenceFailure =
        CalcRainPointsChecked(reference, referencePoints, calcByShow, precision);

    RainPoints points;
    const std::optional<QString> failure = CalcRainPoints(storm, points, calcByShow, precision);
    FUZZ_CHECK(failure == referenceFailure, "failure '%s', the reference's '%s'",
               Utf8(failure.value_or(QStringLiteral("none"))).c_str(),
               Utf8(referenceFailure.value_or(QStringLiteral("none"))).c_str());
    FUZZ_CHECK(points.size() == referencePoints.size(), "%zu rows, the reference %zu", points.size(),
               referencePoints.size());
    FUZZ_CHECK(points.empty() ||
                   std::memcmp(points.data(), referencePoints.data(), points.size() * sizeof(RainPoint)) == 0,
               "the rows differ from the reference's");
    const auto sameBits = [](double x, double y) { return std::memcmp(&x, &y, sizeof x) == 0; };
    FUZZ_CHECK(sameBits(storm.totalDepth, reference.totalDepth) &&
                   sameBits(storm.averageIntensity, reference.averageIntensity),
               "the totals differ from the reference's");

    if (failure) {
        FUZZ_CHECK(IsKnownFailure(*failure), "unknown failure: %s", Utf8(*failure).c_str());
        FUZZ_CHECK(storm.averageIntensity == 1234.5, "a failed storm wrote its average");
        return 0;
    }

    FUZZ_CHECK(!points.empty(), "a computed storm has no rows");
    FUZZ_CHECK(storm.totalDepth == points.back().Overall, "the total is not the last row's");
    for (const RainPoint &row : points) {
        FUZZ_CHECK(std::isfinite(row.Intensity) && std::isfinite(row.Overall) && std::isfinite(row.Time),
                   "a row holds a value that is not finite");
        if (calcByShow && precision >= 0 && precision <= 15)
            FUZZ_CHECK(RoundToShown(precision, row.Intensity) == row.Intensity,
                       "an intensity %.17g has more than %d decimals", row.Intensity, precision);
    }
    FUZZ_CHECK(std::isfinite(storm.averageIntensity), "the average is not finite");
    if (storm.mode == CalcMode::Instant)
        CheckInstantRows(storm, points);
    else
        CheckBlockRows(storm, points);
    return 0;
}

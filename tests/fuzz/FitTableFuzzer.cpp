// The formula fit's data files on arbitrary bytes: an i–t–P table (intensities
// or depths) and sample series are either read into tables the fit can use or
// refused with the program's message; nothing else happens.

#include "FuzzSupport.h"
#include "fit/FitTable.h"
#include "model/PluvionError.h"

#include <QByteArray>
#include <algorithm>
#include <set>

namespace {

bool Distinct(const std::vector<double> &values)
{
    return std::set<double>(values.begin(), values.end()).size() == values.size();
}

bool FinitePositive(const std::vector<double> &values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v) && v > 0; });
}

void CheckTable(const QByteArray &bytes, TableValueKind kind)
{
    IntensityTable table;
    try {
        table = ParseIntensityTable(bytes, kind);
    } catch (const PluvionError &error) {
        FUZZ_CHECK(!error.description().isEmpty(), "a refusal without a message");
        return;
    }
    FUZZ_CHECK(table.durations.size() >= 3, "fewer than 3 durations read");
    FUZZ_CHECK(!table.periods.empty(), "no return period read");
    FUZZ_CHECK(table.values.size() == table.durations.size() * table.periods.size(), "ragged table");
    FUZZ_CHECK(Distinct(table.durations) && Distinct(table.periods), "a duration or period twice");
    FUZZ_CHECK(FinitePositive(table.durations) && FinitePositive(table.periods) &&
                   FinitePositive(table.values),
               "a value that is not a finite number above 0");
}

void CheckSamples(const QByteArray &bytes)
{
    SampleTable samples;
    try {
        samples = ParseSampleTable(bytes);
    } catch (const PluvionError &error) {
        FUZZ_CHECK(!error.description().isEmpty(), "a refusal without a message");
        return;
    }
    FUZZ_CHECK(samples.samples.size() == samples.durations.size(), "series and durations differ in number");
    FUZZ_CHECK(Distinct(samples.durations) && FinitePositive(samples.durations), "a bad duration read");
    for (const auto &series : samples.samples) {
        FUZZ_CHECK(!series.empty(), "a duration without samples read");
        FUZZ_CHECK(std::all_of(series.begin(), series.end(), [](double v) { return std::isfinite(v); }),
                   "a sample that is not finite");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray data(reinterpret_cast<const char *>(bytes), qsizetype(size));
    CheckTable(data, TableValueKind::Intensity);
    CheckTable(data, TableValueKind::Depth);
    CheckSamples(data);
    return 0;
}

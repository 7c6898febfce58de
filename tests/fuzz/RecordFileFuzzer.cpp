// Rain-gauge record files on arbitrary bytes: either read into rows of whole
// minutes and depths of at least 0, in order of their lines, or refused with
// the program's message; a record of a few years read is merged and sampled
// without fault.

#include "FuzzSupport.h"
#include "model/PluvionError.h"
#include "records/PeakRatio.h"

#include <QByteArray>
#include <algorithm>

namespace {

void Check(const QByteArray &bytes, const RecordFormat &format)
{
    RecordRows rows;
    try {
        rows = ParseRecordBytes(bytes, QStringLiteral("f.csv"), format);
    } catch (const PluvionError &error) {
        FUZZ_CHECK(!error.description().isEmpty(), "a refusal without a message");
        return;
    }
    FUZZ_CHECK(rows.minutes.size() == rows.depths.size(), "rows of unequal parts");
    FUZZ_CHECK(std::all_of(rows.depths.begin(), rows.depths.end(), [](std::int32_t d) { return d >= 0; }),
               "a negative depth read");
    for (size_t r = 1; r < rows.minutes.size(); ++r)
        FUZZ_CHECK(rows.line(r - 1) < rows.line(r), "rows out of the order of their lines");
    if (rows.minutes.empty())
        return;
    // Merging allocates the whole span: only records of a few years.
    const auto [low, high] = std::minmax_element(rows.minutes.begin(), rows.minutes.end());
    if (RecordYearOf(*high) - RecordYearOf(*low) > 2)
        return;
    RecordSettings settings;
    settings.gaps = bytes.size() % 2 ? RecordGaps::Zero : RecordGaps::Missing;
    settings.minCompleteness = 0;
    try {
        const RainRecord record = MergeRecordRows({rows}, settings);
        FUZZ_CHECK(record.years.size() + 1 == record.yearStarts.size(), "years and their starts differ");
        for (const RecordYear &year : record.years)
            FUZZ_CHECK(year.present >= 0 && year.present <= year.intervals, "a year more than complete");
        RecordSampling sampling;
        sampling.durations = {record.step, 2 * record.step, 3 * record.step};
        sampling.method = bytes.size() % 3 ? SamplingMethod::AnnualMaximum : SamplingMethod::AnnualMultiple;
        const RecordSamples samples = TakeRecordSamples(record, sampling);
        const PeakRatio peak = MeasurePeakRatio(samples);
        FUZZ_CHECK(std::isnan(peak.r) || (peak.r > 0 && peak.r < 1), "r outside 0 to 1");
    } catch (const PluvionError &error) {
        FUZZ_CHECK(!error.description().isEmpty(), "a refusal without a message");
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
    Check(data, {});
    RecordFormat parts;
    parts.columns = {RecordColumn::Year, RecordColumn::Month,  RecordColumn::Day,
                     RecordColumn::Hour, RecordColumn::Minute, RecordColumn::Depth};
    parts.unit = RecordUnit::TenthMillimetre;
    Check(data, parts);
    return 0;
}

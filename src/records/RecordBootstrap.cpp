#include "records/RecordBootstrap.h"

#include <map>

ResamplingInput RecordResampling(const RecordSamples &samples)
{
    std::map<int, size_t> slotOfYear;
    for (const DurationWindows &series : samples.durations)
        for (const RecordWindow &window : series.windows)
            slotOfYear.emplace(window.year, 0);
    size_t slot = 0;
    for (auto &entry : slotOfYear)
        entry.second = slot++;

    ResamplingInput input;
    input.unit = ResamplingUnit::Years;
    input.years = std::max(size_t(std::max(samples.years, 0)), slotOfYear.size());
    input.hasPeak = true;
    for (const DurationWindows &series : samples.durations) {
        ResampledDuration duration;
        duration.duration = series.duration;
        const int width = series.duration / samples.step;
        duration.peakCounts = width >= MinPeakSteps;
        if (samples.method == SamplingMethod::AnnualMultiple)
            duration.keep = series.windows.size();
        for (const RecordWindow &window : series.windows)
            duration.samples.push_back({double(window.depth) / DepthPerMillimetre, slotOfYear.at(window.year),
                                        WindowPeakRatio(window.peak, width)});
        input.durations.push_back(std::move(duration));
    }
    return input;
}

BootstrapResult BootstrapRecords(const RecordAnalysis &analysis, BootstrapSettings settings,
                                 const BootstrapProgress &progress)
{
    settings.fit.input = FitInputKind::Samples;
    settings.fit.frequency.sampling = analysis.samples.method;
    settings.fit.frequency.years = analysis.samples.years;
    BootstrapResult result = RunBootstrap(RecordResampling(analysis.samples), settings, progress);
    result.estimate.records = SummarizeRecords(analysis.record, analysis.samples, analysis.peak);
    return result;
}

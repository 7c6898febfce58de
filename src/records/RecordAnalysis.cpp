#include "records/RecordAnalysis.h"

#include "model/PluvionError.h"
#include "records/RecordSummary.h"

#include <cmath>

RecordAnalysis AnalyseRecords(const QStringList &paths, const RecordSettings &settings,
                              const RecordSampling &sampling, const RecordProgress &progress)
{
    // Reading takes most of the time; sampling the rest.
    const auto share = [&progress](double from, double to) -> RecordProgress {
        if (!progress)
            return {};
        return [&progress, from, to](double fraction) { return progress(from + (to - from) * fraction); };
    };
    RecordAnalysis analysis;
    analysis.record = ReadRainRecord(paths, settings, share(0, 0.8));
    CheckRecordDurations(sampling.durations, analysis.record.step);
    if (analysis.record.usedYears() == 0)
        throw PluvionError(NoUsedYearMessage(settings.minCompleteness));
    analysis.samples = TakeRecordSamples(analysis.record, sampling, share(0.8, 1));
    analysis.peak = MeasurePeakRatio(analysis.samples);
    return analysis;
}

QString NoUsedYearMessage(double minCompleteness)
{
    return QStringLiteral("没有完整率达到 %1% 的年份，无法取样").arg(minCompleteness, 0, 'g', 6);
}

double StormPeakRatio(const PeakRatio &peak)
{
    return std::round(peak.r * 1000) / 1000;
}

RecordsSummary SummarizeRecords(const RainRecord &record, const RecordSamples &samples, const PeakRatio &peak)
{
    RecordsSummary summary;
    summary.read = RecordReadLine(record);
    summary.years = RecordYearLines(record);
    summary.samples = RecordSampleLines(samples, &summary.partialSamples);
    summary.peakRatio = PeakRatioLines(peak);
    summary.r = StormPeakRatio(peak);
    return summary;
}

FitOutcome FitRecordSamples(const RecordAnalysis &analysis, FitSettings settings)
{
    settings.input = FitInputKind::Samples;
    settings.frequency.sampling = analysis.samples.method;
    settings.frequency.years = analysis.samples.years;
    FitOutcome outcome = FitSamples(RecordSampleTable(analysis.samples), settings);
    outcome.records = SummarizeRecords(analysis.record, analysis.samples, analysis.peak);
    return outcome;
}

RecordAnalysis AnalyseRecords(const RecordsRequest &request, const RecordProgress &progress)
{
    return AnalyseRecords(request.paths, request.read, request.sampling, progress);
}

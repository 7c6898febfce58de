#include "records/LongDesignStorm.h"

#include "fit/FitCase.h"
#include "records/RecordSummary.h"

#include <cmath>
#include <numeric>

namespace {

std::optional<double> Known(double value)
{
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// Each interval's share of the storm, %.
std::vector<double> Percents(const std::vector<double> &depths)
{
    const double total = std::accumulate(depths.begin(), depths.end(), 0.0);
    std::vector<double> percents(depths.size(), 0.0);
    if (total > 0)
        for (size_t i = 0; i < depths.size(); ++i)
            percents[i] = 100 * depths[i] / total;
    return percents;
}

} // namespace

Storm LongDesignStorm(const LongStorm &built, const RainRecord &record)
{
    const LongStormSettings &settings = built.settings;
    Storm storm;
    storm.kind = StormKind::Long;
    storm.mode = CalcMode::Block;
    storm.period = settings.period;
    storm.duration = settings.duration;
    storm.step = settings.step;
    LongStormProfile &p = storm.longProfile;
    p.method = settings.method;
    p.source = built.source;
    p.depths = built.depths;
    if (settings.method == LongStormMethod::SameFrequency) {
        p.typicalStart = StormStartText(built.typical.start);
        p.typicalChosen = built.typicalChosen;
        p.typicalDepth = built.typical.depth;
        // The typical storm's own time pattern, which the rings' factors scale.
        p.pattern = Percents(built.typicalDepths);
    } else {
        p.stormsAveraged = built.variability.used;
        p.stormsSkipped = built.variability.skipped;
        p.pattern = built.variability.pattern;
    }
    for (const NestedDuration &d : built.durations) {
        NestedDesignDepth nested;
        nested.duration = d.duration;
        nested.design = d.design;
        if (settings.method == LongStormMethod::SameFrequency) {
            nested.typical = Known(d.typical);
            nested.scale = Known(d.scale);
            nested.nestedStart = d.nestedStart;
            nested.wettest = d.wettest;
        }
        nested.excess = d.excess;
        p.nested.push_back(nested);
    }
    if (built.source == DesignDepthSource::Records) {
        p.sampling = SamplingMethodName(settings.sampling.method);
        p.distribution = DistributionName(settings.frequency.distribution);
    } else {
        p.formula = FormulaText(settings.formula);
    }
    p.records = RecordReadLine(record);
    p.years = built.years;
    p.minCompleteness = record.minCompleteness;
    p.notes = built.notes;
    return storm;
}

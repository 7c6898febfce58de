#include "records/PeakRatio.h"

#include <cmath>
#include <limits>

double WindowPeakRatio(int peak, int width)
{
    return (peak + 0.5) / width;
}

PeakRatio MeasurePeakRatio(const RecordSamples &samples)
{
    PeakRatio result;
    double sum = 0;
    int used = 0;
    for (const DurationWindows &series : samples.durations) {
        DurationPeakRatio entry;
        entry.duration = series.duration;
        const int width = series.duration / samples.step;
        entry.events = int(series.windows.size());
        if (entry.events > 0) {
            double total = 0;
            for (const RecordWindow &window : series.windows)
                total += WindowPeakRatio(window.peak, width);
            entry.mean = total / entry.events;
            double squares = 0;
            for (const RecordWindow &window : series.windows)
                squares += std::pow(WindowPeakRatio(window.peak, width) - entry.mean, 2);
            entry.deviation = entry.events > 1 ? std::sqrt(squares / (entry.events - 1)) : 0;
        }
        for (size_t k = 0; k < series.windows.size(); ++k)
            if (series.windows[k].missing > 0)
                result.notes.append(QStringLiteral("注：") + PartialSampleText(samples, series, k) +
                                    QStringLiteral("，其峰值位置按已测雨量确定"));
        entry.used = width >= MinPeakSteps && entry.events > 0;
        if (entry.used) {
            sum += entry.mean;
            ++used;
        }
        result.durations.push_back(entry);
    }
    result.r = used ? sum / used : std::numeric_limits<double>::quiet_NaN();
    return result;
}

#include "export/SwmmExport.h"

#include "export/CsvExport.h"
#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <QIODevice>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// SWMM reads numbers with "." whatever the user's locale.
const Separators SwmmSeparators{u'.', u':'};

QString column(const QString &text, int width)
{
    return text.leftJustified(width) + u' ';
}

// An intensity in mm/h, with enough digits that the series keeps the
// storm's rainfall to well beyond what any model needs.
QString perHour(double mmPerMinute)
{
    return QString::number(mmPerMinute * 60, 'g', 15);
}

} // namespace

QString SwmmSeriesName(const Storm &storm)
{
    if (storm.kind == StormKind::Long)
        return QStringLiteral("P%1_T%2_%3")
            .arg(GeneralNumber(storm.period, SwmmSeparators), GeneralNumber(storm.duration, SwmmSeparators),
                 storm.longProfile.method == LongStormMethod::AverageVariability ? QStringLiteral("PC")
                                                                                 : QStringLiteral("SF"));
    return QStringLiteral("P%1_T%2_r%3")
        .arg(GeneralNumber(storm.period, SwmmSeparators), GeneralNumber(storm.duration, SwmmSeparators),
             GeneralNumber(storm.peakRatio, SwmmSeparators));
}

QString SwmmProposedName(const Storm &storm, const Separators &sep)
{
    return StormFileName(QStringLiteral("芝加哥雨型SWMM数据P=%1年 t=%2分 r=%3.inp"), storm, sep);
}

QString SwmmTargetPath(const QString &chosenName)
{
    const QString extension = FileExtension(chosenName).toLower();
    if (extension == QStringLiteral(".inp") || extension == QStringLiteral(".txt"))
        return chosenName;
    return ChangeFileExtension(chosenName, QStringLiteral(".inp"));
}

QString SwmmHourMinute(long long minutes)
{
    return QStringLiteral("%1:%2").arg(minutes / 60).arg(minutes % 60, 2, 10, QChar(u'0'));
}

RainPoints SwmmBlockPoints(const Storm &storm)
{
    // A long-duration storm lists its own interval depths; a Chicago storm
    // is recomputed from the formula in the block-average mode.
    Storm block = storm;
    block.mode = CalcMode::Block;
    RainPoints points;
    // The exact averages: the series must hold the formula depth, not the
    // rounded figures the window may compute from.
    if (const auto failure = CalcRainPoints(block, points, false, 0))
        throw PluvionError(*failure);
    return points;
}

std::optional<QString> SwmmModeNote(const Storm &storm)
{
    if (storm.mode == CalcMode::Block)
        return std::nullopt;
    return QStringLiteral(
        "SWMM数据按时段平均写出：SWMM把每个值当作整个时段内不变的强度，瞬时雨强会使雨量失真；"
        "写出的序列雨量等于公式雨量。");
}

namespace {

// The storm's block averages, or PluvionError when there are none.
RainPoints fragmentPoints(const Storm &storm)
{
    RainPoints points = SwmmBlockPoints(storm);
    if (points.empty())
        throw PluvionError(NoDataToSaveMessage());
    return points;
}

// Gives each line of the fragment of `points` (fragmentPoints) to `line`, in order.
void formFragmentLines(const Storm &storm, const RainPoints &points,
                       const std::function<void(const QString &)> &line)
{
    const long long step = std::llabs(static_cast<long long>(storm.step));
    const QString name = SwmmSeriesName(storm);
    const int nameWidth = std::max<int>(16, int(name.size()));

    if (storm.kind == StormKind::Long)
        line(QStringLiteral(
                 ";;Pluvion long-duration design storm %1 (%2), interval depths as intensities in mm/h")
                 .arg(name, storm.longProfile.method == LongStormMethod::AverageVariability
                                ? QStringLiteral("Pilgrim-Cordery average variability")
                                : QStringLiteral("same-frequency scaling of a typical storm")));
    else
        line(QStringLiteral(";;Pluvion Chicago design storm %1, block averages%2, intensities in mm/h")
                 .arg(name, SwmmModeNote(storm)
                                ? QStringLiteral(" (shown in Pluvion as instantaneous intensities)")
                                : QString()));
    line(QString());
    line(QStringLiteral("[RAINGAGES]"));
    line(QStringLiteral(";;") + column(QStringLiteral("Name"), nameWidth - 2) +
         QStringLiteral("Format    Interval SCF      Source"));
    line(QStringLiteral(";;") + QString(nameWidth - 2, u'-') +
         QStringLiteral(" --------- -------- -------- ----------"));
    line(column(name, nameWidth) + column(QStringLiteral("INTENSITY"), 9) + column(SwmmHourMinute(step), 8) +
         column(QStringLiteral("1.0"), 8) + QStringLiteral("TIMESERIES ") + name);
    line(QString());
    line(QStringLiteral("[TIMESERIES]"));
    line(QStringLiteral(";;") + column(QStringLiteral("Name"), nameWidth - 2) +
         QStringLiteral("Date       Time       Value"));
    line(QStringLiteral(";;") + QString(nameWidth - 2, u'-') +
         QStringLiteral(" ---------- ---------- ----------"));

    // The series' lines share their start; each is formed in one reused text.
    const QString lead = column(name, nameWidth) + column(QString(), 10);
    QString text;
    const auto entry = [&](long long minute, const QString &value) {
        text = lead;
        text += column(SwmmHourMinute(minute), 10);
        text += value;
        line(text);
    };
    double previousOverall = 0;
    for (size_t k = 0; k < points.size(); ++k) {
        const RainPoint &point = points[k];
        // Every row is a whole step, except a shortened last one, whose
        // rainfall is spread over a whole step so that the series keeps it.
        const bool shortened = k + 1 == points.size() && point.Time + double(step) > storm.duration;
        const double intensity =
            shortened ? (point.Overall - previousOverall) / double(step) : point.Intensity;
        entry(static_cast<long long>(k) * step, perHour(intensity));
        previousOverall = point.Overall;
    }
    entry(static_cast<long long>(points.size()) * step, QStringLiteral("0"));
    line(QString());
}

// Lines handed on at a time by StreamSwmmFragment.
constexpr int SwmmChunkLines = 4096;

void streamFragment(const Storm &storm, const RainPoints &points,
                    const std::function<void(QByteArrayView)> &sink)
{
    // The lines are joined by CR LF, the last one (empty) ending the file.
    QString text;
    int count = 0;
    formFragmentLines(storm, points, [&](const QString &line) {
        if (count > 0)
            text += QLatin1String("\r\n");
        text += line;
        if (++count % SwmmChunkLines == 0) {
            sink(text.toUtf8());
            text.resize(0);
        }
    });
    if (!text.isEmpty())
        sink(text.toUtf8());
}

} // namespace

QStringList SwmmFragmentLines(const Storm &storm)
{
    QStringList lines;
    formFragmentLines(storm, fragmentPoints(storm), [&](const QString &line) { lines << line; });
    return lines;
}

void StreamSwmmFragment(const Storm &storm, const std::function<void(QByteArrayView)> &sink)
{
    streamFragment(storm, fragmentPoints(storm), sink);
}

QByteArray SwmmFragmentBytes(const Storm &storm)
{
    QByteArray bytes;
    StreamSwmmFragment(storm, [&](QByteArrayView chunk) { bytes += chunk; });
    return bytes;
}

void WriteSwmmFragment(QIODevice &device, const Storm &storm)
{
    StreamSwmmFragment(storm, [&](QByteArrayView chunk) {
        if (!WriteAllBytes(device, chunk))
            throw PluvionError(device.errorString());
    });
}

void WriteSwmmFile(const FileTarget &target, const Storm &storm)
{
    // The storm's errors are told before the target is touched.
    const RainPoints points = fragmentPoints(storm);
    FileWriter writer(target);
    streamFragment(storm, points, [&](QByteArrayView chunk) { writer.write(chunk); });
    writer.commit();
}

#include "export/SwmmExport.h"

#include "export/CsvExport.h"
#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/PluvionError.h"

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

QString SwmmSeriesName(const TExpressionObject &storm)
{
    return QStringLiteral("P%1_T%2_r%3")
        .arg(GeneralNumber(storm.Storm_RepeatYear, SwmmSeparators),
             GeneralNumber(storm.Storm_Time, SwmmSeparators),
             GeneralNumber(storm.Storm_Percent, SwmmSeparators));
}

QString SwmmProposedName(const TExpressionObject &storm, const Separators &sep)
{
    return QStringLiteral("芝加哥雨型SWMM数据P=%1年 t=%2分 r=%3.inp")
        .arg(GeneralNumberG(storm.Storm_RepeatYear, sep), GeneralNumberG(storm.Storm_Time, sep),
             GeneralNumberG(storm.Storm_Percent, sep));
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

QStringList SwmmFragmentLines(const RainPoints &points, const TExpressionObject &storm)
{
    if (points.empty())
        throw PluvionError(NoDataToSaveMessage());
    const long long step = std::llabs(static_cast<long long>(storm.Storm_Step));
    const bool block = storm.StormMode == CalcMode::Block;
    const QString name = SwmmSeriesName(storm);
    const int nameWidth = std::max<int>(16, int(name.size()));

    QStringList lines;
    lines << QStringLiteral(";;Pluvion Chicago design storm %1, %2, intensities in mm/h")
                 .arg(name, block ? QStringLiteral("block average") : QStringLiteral("instantaneous"))
          << QString() << QStringLiteral("[RAINGAGES]")
          << QStringLiteral(";;") + column(QStringLiteral("Name"), nameWidth - 2) +
                 QStringLiteral("Format    Interval SCF      Source")
          << QStringLiteral(";;") + QString(nameWidth - 2, u'-') +
                 QStringLiteral(" --------- -------- -------- ----------")
          << column(name, nameWidth) + column(QStringLiteral("INTENSITY"), 9) +
                 column(SwmmHourMinute(step), 8) + column(QStringLiteral("1.0"), 8) +
                 QStringLiteral("TIMESERIES ") + name
          << QString() << QStringLiteral("[TIMESERIES]")
          << QStringLiteral(";;") + column(QStringLiteral("Name"), nameWidth - 2) +
                 QStringLiteral("Date       Time       Value")
          << QStringLiteral(";;") + QString(nameWidth - 2, u'-') +
                 QStringLiteral(" ---------- ---------- ----------");

    const auto entry = [&](long long minute, const QString &value) {
        lines << column(name, nameWidth) + column(QString(), 10) + column(SwmmHourMinute(minute), 10) + value;
    };
    long long next = 0;
    double previousOverall = 0;
    for (size_t k = 0; k < points.size(); ++k) {
        const TRainPoint &point = points[k];
        const long long minute = std::llround(point.Time);
        if (step == 0 || minute % step != 0) {
            previousOverall = point.Overall;
            continue;
        }
        double intensity = point.Intensity;
        // The block storm's shortened last step: its rainfall over a whole step.
        if (block && k + 1 == points.size() && point.Time + double(step) > storm.Storm_Time)
            intensity = (point.Overall - previousOverall) / double(step);
        entry(minute, perHour(intensity));
        previousOverall = point.Overall;
        next = minute + step;
    }
    entry(next, QStringLiteral("0"));
    lines << QString();
    return lines;
}

QByteArray SwmmFragmentBytes(const RainPoints &points, const TExpressionObject &storm)
{
    return SwmmFragmentLines(points, storm).join(QStringLiteral("\r\n")).toUtf8();
}

void WriteSwmmFragment(QIODevice &device, const RainPoints &points, const TExpressionObject &storm)
{
    if (!WriteAllBytes(device, SwmmFragmentBytes(points, storm)))
        throw PluvionError(device.errorString());
}

void WriteSwmmFile(const QString &path, const RainPoints &points, const TExpressionObject &storm)
{
    WriteFileBytes(path, SwmmFragmentBytes(points, storm));
}

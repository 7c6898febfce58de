// The SWMM fragment, read back by a small reader of its own: the gage names
// the series, the times step evenly, and the series holds the storm's rainfall.
#include "export/SwmmExport.h"

#include "export/CsvExport.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

struct SwmmFragment
{
    QStringList gage; // the one [RAINGAGES] line, split at blanks
    QString seriesName;
    QList<long long> minutes;
    QList<double> mmPerHour;
};

// Reads a fragment as SWMM does: ";" begins a comment, blanks separate
// fields, a series line without a date is name, H:MM time, value.
SwmmFragment parseFragment(const QByteArray &bytes)
{
    SwmmFragment fragment;
    QString section;
    for (const QString &line : QString::fromLatin1(bytes).split(QStringLiteral("\r\n"))) {
        const QString text = line.section(u';', 0, 0).trimmed();
        if (text.isEmpty())
            continue;
        if (text.startsWith(u'[')) {
            section = text;
            continue;
        }
        const QStringList fields = text.split(u' ', Qt::SkipEmptyParts);
        if (section == QStringLiteral("[RAINGAGES]")) {
            EXPECT_TRUE(fragment.gage.isEmpty()) << "a second gage";
            fragment.gage = fields;
        } else if (section == QStringLiteral("[TIMESERIES]")) {
            EXPECT_EQ(fields.size(), 3) << line.toStdString();
            if (fields.size() != 3)
                continue;
            if (fragment.seriesName.isEmpty())
                fragment.seriesName = fields[0];
            EXPECT_EQ(fields[0], fragment.seriesName);
            const QStringList hm = fields[1].split(u':');
            fragment.minutes << hm[0].toLongLong() * 60 + hm[1].toLongLong();
            bool ok = false;
            fragment.mmPerHour << fields[2].toDouble(&ok);
            EXPECT_TRUE(ok) << fields[2].toStdString();
        } else {
            ADD_FAILURE() << "line outside a section: " << line.toStdString();
        }
    }
    return fragment;
}

struct ComputedStorm
{
    TExpressionObject storm = StartUpStorm();
    RainPoints points;
};

ComputedStorm compute(CalcMode mode, double T, double r, int step)
{
    ComputedStorm computed;
    computed.storm.StormMode = mode;
    computed.storm.Storm_Time = T;
    computed.storm.Storm_Percent = r;
    computed.storm.Storm_Step = step;
    EXPECT_FALSE(CalcRainPoints(computed.storm, computed.points, false, 4));
    return computed;
}

TEST(SwmmExport, SeriesHoldsTheStormsRainfallAtEvenSteps)
{
    const struct
    {
        CalcMode mode;
        double T, r;
        int step;
        QString name, interval;
    } cases[] = {
        {CalcMode::Block, 120, 0.4, 1, QStringLiteral("P2_T120_r0.4"), QStringLiteral("0:01")},
        {CalcMode::Block, 120, 0.5, 5, QStringLiteral("P2_T120_r0.5"), QStringLiteral("0:05")},
        // The shortened last step [84, 90.7) is spread over a whole step.
        {CalcMode::Block, 90.7, 0.4, 7, QStringLiteral("P2_T90.7_r0.4"), QStringLiteral("0:07")},
        {CalcMode::Block, 1440, 0.4, 60, QStringLiteral("P2_T1440_r0.4"), QStringLiteral("1:00")},
        // Each minute of the instantaneous storm is its own step.
        {CalcMode::Instant, 120, 0.4, 1, QStringLiteral("P2_T120_r0.4"), QStringLiteral("0:01")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name.toStdString() + " step " + std::to_string(c.step));
        const ComputedStorm computed = compute(c.mode, c.T, c.r, c.step);
        const QByteArray bytes = SwmmFragmentBytes(computed.points, computed.storm);
        EXPECT_TRUE(bytes.endsWith("\r\n"));
        EXPECT_FALSE(bytes.contains('\t'));
        for (const char ch : bytes)
            ASSERT_TRUE(ch > 0) << "not ASCII";

        const SwmmFragment fragment = parseFragment(bytes);
        ASSERT_EQ(fragment.gage, (QStringList{c.name, QStringLiteral("INTENSITY"), c.interval,
                                              QStringLiteral("1.0"), QStringLiteral("TIMESERIES"), c.name}));
        EXPECT_EQ(fragment.seriesName, c.name);
        ASSERT_EQ(fragment.minutes.size(), qsizetype(computed.points.size()) + 1);
        double depth = 0;
        for (qsizetype k = 0; k < fragment.minutes.size(); ++k) {
            EXPECT_EQ(fragment.minutes[k], k * c.step);
            depth += fragment.mmPerHour[k] / 60 * c.step;
        }
        EXPECT_EQ(fragment.mmPerHour.last(), 0.0) << "the rain stops at the end";
        EXPECT_EQ(QString::number(depth, 'g', 12),
                  QString::number(computed.storm.Strom_Overall_Rainfall, 'g', 12));
    }
}

TEST(SwmmExport, InstantStormKeepsOnlyTheMinutesOnTheStep)
{
    // Minute 120 follows 119 by less than the 7-minute interval, which SWMM
    // refuses for a gage; the series keeps 0, 7, ..., 119 and ends at 126.
    const ComputedStorm computed = compute(CalcMode::Instant, 120, 0.4, 7);
    const SwmmFragment fragment = parseFragment(SwmmFragmentBytes(computed.points, computed.storm));
    ASSERT_EQ(fragment.minutes.size(), 19);
    EXPECT_EQ(fragment.minutes[17], 119);
    EXPECT_EQ(fragment.minutes[18], 126);
    EXPECT_EQ(QString::number(fragment.mmPerHour[1], 'g', 12),
              QString::number(computed.points[1].Intensity * 60, 'g', 12));
}

TEST(SwmmExport, TimesAndWriting)
{
    const struct
    {
        long long minutes;
        const char *text;
    } times[] = {{0, "0:00"}, {5, "0:05"}, {125, "2:05"}, {1500, "25:00"}};
    for (const auto &t : times)
        EXPECT_EQ(SwmmHourMinute(t.minutes), QString::fromLatin1(t.text));

    const ComputedStorm computed = compute(CalcMode::Block, 120, 0.4, 5);
    const QByteArray expected = SwmmFragmentBytes(computed.points, computed.storm);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteSwmmFragment(buffer, computed.points, computed.storm);
    EXPECT_EQ(buffer.data(), expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("storm.inp"));
    WriteSwmmFile(path, computed.points, computed.storm);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);

    const auto errorOf = [](const std::function<void()> &action) {
        try {
            action();
        } catch (const PluvionError &error) {
            return error.description();
        }
        return QStringLiteral("<no error>");
    };
    EXPECT_TRUE(errorOf([&] {
                    WriteSwmmFile(dir.path(), computed.points, computed.storm);
                }).startsWith(QStringLiteral("Cannot create file \"%1\".").arg(dir.path())));
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_NE(errorOf([&] { WriteSwmmFragment(readOnly, computed.points, computed.storm); }),
              QStringLiteral("<no error>"));
    EXPECT_EQ(errorOf([&] { SwmmFragmentBytes({}, computed.storm); }), NoDataToSaveMessage());
}

} // namespace

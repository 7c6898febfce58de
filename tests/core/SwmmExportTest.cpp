// The SWMM fragment, read back by a small reader of its own: the gage names
// the series, the times step evenly, and the series holds the formula depth
// whichever mode the storm is shown in.
#include "export/SwmmExport.h"

#include "export/CsvExport.h"
#include "io/FileBytes.h"
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

Storm stormOf(CalcMode mode, double T, double r, int step)
{
    Storm storm = StartUpStorm();
    storm.mode = mode;
    storm.duration = T;
    storm.peakRatio = r;
    storm.step = step;
    return storm;
}

QString errorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const PluvionError &error) {
        return error.description();
    }
    return QStringLiteral("<no error>");
}

TEST(SwmmExport, SeriesHoldsTheFormulaDepthInEitherMode)
{
    const struct
    {
        double T, r;
        int step;
        QString name, interval;
        long long end; // the minute of the closing 0
    } cases[] = {
        {120, 0.4, 1, QStringLiteral("P2_T120_r0.4"), QStringLiteral("0:01"), 120},
        {120, 0.5, 5, QStringLiteral("P2_T120_r0.5"), QStringLiteral("0:05"), 120},
        // The shortened last step [84, 90.7) is spread over a whole step.
        {90.7, 0.4, 7, QStringLiteral("P2_T90.7_r0.4"), QStringLiteral("0:07"), 91},
        {90.7, 0.4, 1, QStringLiteral("P2_T90.7_r0.4"), QStringLiteral("0:01"), 91},
        {1440, 0.4, 5, QStringLiteral("P2_T1440_r0.4"), QStringLiteral("0:05"), 1440},
        {1440, 0.15, 60, QStringLiteral("P2_T1440_r0.15"), QStringLiteral("1:00"), 1440},
        {120, 0.4, 7, QStringLiteral("P2_T120_r0.4"), QStringLiteral("0:07"), 126},
        // A negative step lists as its magnitude.
        {30, 0.9, -4, QStringLiteral("P2_T30_r0.9"), QStringLiteral("0:04"), 32},
    };
    for (const auto &c : cases) {
        QByteArray blockBytes;
        for (const CalcMode mode : {CalcMode::Block, CalcMode::Instant}) {
            SCOPED_TRACE(c.name.toStdString() + " step " + std::to_string(c.step) + " mode " +
                         std::to_string(int(mode)));
            const Storm storm = stormOf(mode, c.T, c.r, c.step);
            const QByteArray bytes = SwmmFragmentBytes(storm);
            EXPECT_TRUE(bytes.endsWith("\r\n"));
            EXPECT_FALSE(bytes.contains('\t'));
            for (const char ch : bytes)
                ASSERT_TRUE(ch > 0) << "not ASCII";

            const SwmmFragment fragment = parseFragment(bytes);
            ASSERT_EQ(fragment.gage,
                      (QStringList{c.name, QStringLiteral("INTENSITY"), c.interval, QStringLiteral("1.0"),
                                   QStringLiteral("TIMESERIES"), c.name}));
            EXPECT_EQ(fragment.seriesName, c.name);
            const long long step = std::abs(c.step);
            ASSERT_EQ(fragment.minutes.size(), c.end / step + 1);
            double depth = 0;
            for (qsizetype k = 0; k < fragment.minutes.size(); ++k) {
                EXPECT_EQ(fragment.minutes[k], k * step);
                depth += fragment.mmPerHour[k] / 60 * double(step);
            }
            EXPECT_EQ(fragment.mmPerHour.last(), 0.0) << "the rain stops at the end";
            const double formula = FormulaDepth(storm);
            EXPECT_NEAR(depth, formula, 1e-9 * formula);

            // Both modes write the same series; only the first comment line
            // tells that the window shows instantaneous intensities.
            const QByteArray firstLine = bytes.left(bytes.indexOf("\r\n"));
            EXPECT_EQ(firstLine.contains("instantaneous"), mode == CalcMode::Instant)
                << firstLine.constData();
            EXPECT_EQ(SwmmModeNote(storm).has_value(), mode == CalcMode::Instant);
            if (mode == CalcMode::Block)
                blockBytes = bytes.mid(bytes.indexOf("\r\n"));
            else
                EXPECT_EQ(bytes.mid(bytes.indexOf("\r\n")), blockBytes);
        }
    }
}

TEST(SwmmExport, DefaultStormAtStepSevenKeepsItsDepth)
{
    // The instantaneous storm sampled every 7 minutes, each sample held for
    // 7 minutes, would misstate the storm's depth; the block series lists
    // the exact averages and ends at 1:31, one step after its last value at
    // 1:24.
    const Storm storm = stormOf(CalcMode::Instant, 90.7, 0.4, 7);
    const SwmmFragment fragment = parseFragment(SwmmFragmentBytes(storm));
    ASSERT_EQ(fragment.minutes.size(), 14);
    EXPECT_EQ(fragment.minutes[12], 84);
    EXPECT_EQ(fragment.minutes[13], 91);
    const RainPoints block = SwmmBlockPoints(storm);
    ASSERT_EQ(block.size(), 13u);
    EXPECT_EQ(QString::number(fragment.mmPerHour[5], 'g', 12),
              QString::number(block[5].Intensity * 60, 'g', 12));
}

TEST(SwmmExport, StormsTheBlockSeriesCannotHoldAreRefused)
{
    // An instantaneous storm may peak at its start; its block averages cannot.
    EXPECT_EQ(errorOf([] { SwmmFragmentBytes(stormOf(CalcMode::Instant, 120, 0, 5)); }),
              QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1"));
    EXPECT_EQ(errorOf([] { SwmmFragmentBytes(stormOf(CalcMode::Instant, 0, 0.4, 5)); }),
              QStringLiteral("时段平均雨型的降雨历时须大于 0 分钟"));
    EXPECT_NE(errorOf([] { SwmmFragmentBytes(stormOf(CalcMode::Block, 120, 0.4, 0)); }),
              QStringLiteral("<no error>"));
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

    const Storm storm = stormOf(CalcMode::Block, 120, 0.4, 5);
    const QByteArray expected = SwmmFragmentBytes(storm);

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteSwmmFragment(buffer, storm);
    EXPECT_EQ(buffer.data(), expected);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("storm.inp"));
    WriteSwmmFile(path, storm);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);

    EXPECT_TRUE(errorOf([&] {
                    WriteSwmmFile(dir.path(), storm);
                }).startsWith(CannotCreateFileMessage(dir.path(), {})));
    QBuffer readOnly;
    readOnly.open(QIODevice::ReadOnly);
    EXPECT_NE(errorOf([&] { WriteSwmmFragment(readOnly, storm); }), QStringLiteral("<no error>"));
}

// A series of many pieces: the pieces join into the fragment's lines, CR LF
// between them, as a file and through the device alike.
TEST(SwmmExport, LongSeriesIsWrittenInPiecesWithTheSameBytes)
{
    const Storm storm = stormOf(CalcMode::Block, 20000, 0.4, 1);
    const QByteArray expected = SwmmFragmentLines(storm).join(QStringLiteral("\r\n")).toUtf8();
    int pieces = 0;
    QByteArray streamed;
    StreamSwmmFragment(storm, [&](QByteArrayView piece) {
        ++pieces;
        streamed += piece;
    });
    EXPECT_EQ(streamed, expected);
    EXPECT_GT(pieces, 2);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.inp"));
    WriteSwmmFile(path, storm);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), expected);
}

} // namespace

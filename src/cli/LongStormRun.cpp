// The long-duration storm: reads the records once, builds the storm by
// same-frequency scaling or the average-variability method, states the
// typical storm (or the storms averaged) and the nested design depths, and
// gives the storm's table, totals and files as the storm command does.
#include "Commands.h"
#include "RecordOptions.h"
#include "RunFiles.h"
#include "StormOutputs.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"
#include "records/LongDesignStorm.h"
#include "records/LongStorm.h"
#include "records/PeakRatio.h"
#include "records/RecordAnalysis.h"
#include "records/RecordSummary.h"

#include <cmath>

namespace {

using namespace Option;

[[noreturn]] void refuse(const QString &message)
{
    throw PluvionError(message);
}

struct LongRequest
{
    QStringList paths;
    RecordSettings record;
    RecordSampling sampling; // the formula's samples (--depths formula)
    FitSettings fit;
    LongStormSettings settings;
    CliRequest outputs; // the storm's outputs, as the storm command takes them
};

QString MethodValue(LongStormMethod method)
{
    return method == LongStormMethod::SameFrequency ? QStringLiteral("same-frequency")
                                                    : QStringLiteral("pilgrim-cordery");
}

LongRequest parseLong(const GivenOptions &given, const Separators &sep)
{
    LongRequest request;
    if (!given.has(Records))
        refuse(QStringLiteral("%1 需要用 %2 给出降雨记录").arg(Option::LongStorm.text(), Records.text()));
    if (!given.has(Period))
        refuse(QStringLiteral("%1 需要用 %2 给出设计重现期").arg(Option::LongStorm.text(), Period.text()));
    request.paths = given.list(Records);
    ParseRecordOptions(given, request.record, request.sampling, request.fit);
    request.outputs = ParseCliArguments(given, sep);

    LongStormSettings &settings = request.settings;
    settings.method = CliChoice(Option::LongStorm, given.value(Option::LongStorm),
                                {MethodValue(LongStormMethod::SameFrequency),
                                 MethodValue(LongStormMethod::AverageVariability)}) ==
                              MethodValue(LongStormMethod::SameFrequency)
                          ? LongStormMethod::SameFrequency
                          : LongStormMethod::AverageVariability;
    settings.period = request.outputs.storm.period;
    if (!(std::isfinite(settings.period) && settings.period > 0))
        refuse(QStringLiteral("%1 应为大于 0 的年数，而不是 '%2'")
                   .arg(Period.text(), ValueExcerpt(given.value(Period))));
    if (given.has(LongDuration))
        settings.duration = CliInteger(LongDuration, given.value(LongDuration));
    if (given.has(LongStep))
        settings.step = CliInteger(LongStep, given.value(LongStep));
    if (given.has(Nest)) {
        for (const double duration : CliNumbers(Nest, given.value(Nest))) {
            if (!(duration >= 1 && duration <= MaxRecordDuration && duration == std::floor(duration)))
                refuse(QStringLiteral("%1 的历时应为 1 至 %2 之间的整分钟数，而不是 '%3'")
                           .arg(Nest.text())
                           .arg(MaxRecordDuration)
                           .arg(ValueExcerpt(given.value(Nest))));
            settings.nested.push_back(int(duration));
        }
    }
    const bool sameFrequency = settings.method == LongStormMethod::SameFrequency;
    const CliOption &methodOnly = sameFrequency ? LongEvents : TypicalStorm;
    if (given.has(methodOnly))
        refuse(QStringLiteral("%1 只用于 %2 %3")
                   .arg(methodOnly.text(), Option::LongStorm.text(),
                        MethodValue(sameFrequency ? LongStormMethod::AverageVariability
                                                  : LongStormMethod::SameFrequency)));
    if (given.has(TypicalStorm))
        settings.typicalStart = ParseStormStart(given.value(TypicalStorm));
    if (given.has(LongEvents)) {
        settings.storms = VariabilityStorms::LargestIndependent;
        settings.stormCount = CliInteger(LongEvents, given.value(LongEvents));
        if (settings.stormCount < 1)
            refuse(QStringLiteral("%1 应为至少 1 的整数，而不是 '%2'")
                       .arg(LongEvents.text(), ValueExcerpt(given.value(LongEvents))));
    }
    if (given.has(Depths) &&
        CliChoice(Depths, given.value(Depths), {QStringLiteral("records"), QStringLiteral("formula")}) ==
            QStringLiteral("formula"))
        settings.source = DesignDepthSource::Formula;
    if (settings.source == DesignDepthSource::Records) {
        // The design depths are analysed at the nested durations, at the
        // design period: the fit's own durations, periods and logarithm do not apply.
        for (const CliOption *fitOnly : {&Durations, &FitPeriods, &Log})
            if (given.has(*fitOnly))
                refuse(QStringLiteral("%1 只用于 %2 formula").arg(fitOnly->text(), Depths.text()));
    }
    settings.sampling.method = request.sampling.method;
    settings.sampling.count = request.sampling.count;
    settings.frequency = request.fit.frequency;
    return request;
}

QString Mm(double depth)
{
    return QString::number(depth, 'f', 2);
}

// What the storm was built from, as the run states it.
QStringList StormLines(const Storm &storm)
{
    const LongStormProfile &p = storm.longProfile;
    const bool sameFrequency = p.method == LongStormMethod::SameFrequency;
    QStringList lines;
    lines << QStringLiteral("长历时雨型：%1，P=%2年，D=%3分钟，Δt=%4分钟")
                 .arg(LongStormMethodName(p.method), GeneralNumberG(storm.period),
                      GeneralNumberG(storm.duration))
                 .arg(storm.step);
    if (sameFrequency)
        lines << QStringLiteral("典型暴雨：%1 开始，雨量 %2 mm%3")
                     .arg(p.typicalStart, Mm(p.typicalDepth),
                          p.typicalChosen ? QStringLiteral("（指定）") : QStringLiteral("（最大的一场）"));
    else
        lines << QStringLiteral("平均雨型：统计 %1 场暴雨").arg(p.stormsAveraged);
    QString source = DesignDepthSourceName(p.source);
    source += p.source == DesignDepthSource::Formula
                  ? QStringLiteral("，") + p.formula
                  : QStringLiteral("，%1，%2").arg(p.sampling, p.distribution);
    lines << QStringLiteral("嵌套历时的设计雨量（%1）：").arg(source);
    lines << (sameFrequency ? QStringLiteral("历时(min),设计雨量(mm),典型暴雨(mm),放大倍比")
                            : QStringLiteral("历时(min),设计雨量(mm)"));
    for (const NestedDesignDepth &d : p.nested) {
        QString line = QStringLiteral("%1,%2").arg(d.duration).arg(Mm(d.design));
        if (sameFrequency)
            line += QStringLiteral(",%1,%2").arg(d.typical ? Mm(*d.typical) : QString(),
                                                 d.scale ? QString::number(*d.scale, 'f', 4)
                                                         : QStringLiteral("均匀分配"));
        lines << line;
    }
    return lines;
}

} // namespace

ExitStatus RunLongStormCommand(const GivenOptions &given, const Separators &sep, CliOutput &output)
{
    LongRequest request;
    RecordAnalysis analysis;
    // What the run states goes with the table, or to standard error when
    // standard output holds raw numbers or an export.
    bool toError = false;
    const auto state = [&output, &toError](const QString &line) {
        if (toError)
            output.err(line + u'\n');
        else
            output.out(line + u'\n');
    };
    try {
        request = parseLong(given, sep);
        toError = request.outputs.raw || request.outputs.writesToStandardOutput();
        RunFiles files;
        for (const QString &path : RecordFilesOf(request.paths))
            files.input(Records, path);
        files.output(SaveStorm, request.outputs.saveStormPath);
        files.output(Csv, request.outputs.csvPath);
        files.output(Swmm, request.outputs.swmmPath);
        files.output(DataDocx, request.outputs.dataDocxPath);
        files.output(Report, request.outputs.reportPath);
        files.output(Picture, request.outputs.picturePath);
        files.check();
        analysis.record = ReadRainRecord(request.paths, request.record,
                                         RecordProgressOnStandardError(request.paths, output));
        CheckLongStormSettings(request.settings, analysis.record.step);
        NestedDurations(request.settings);
        if (request.settings.source == DesignDepthSource::Formula)
            CheckRecordDurations(request.sampling.durations, analysis.record.step);
    } catch (const PluvionError &error) {
        output.err(error.description() + u'\n');
        return ExitStatus::BadInput;
    }
    state(RecordReadLine(analysis.record));
    state(RecordYearLines(analysis.record).constLast());

    try {
        if (request.settings.source == DesignDepthSource::Formula) {
            // The formula this run fits to the same records gives the depths.
            if (analysis.record.usedYears() == 0)
                throw PluvionError(NoUsedYearMessage(request.record.minCompleteness));
            analysis.samples = TakeRecordSamples(analysis.record, request.sampling);
            analysis.peak = MeasurePeakRatio(analysis.samples);
            request.settings.formula = FitRecordSamples(analysis, request.fit).total;
        }
        const ::LongStorm built = BuildLongStorm(analysis.record, request.settings);
        request.outputs.storm = LongDesignStorm(built, analysis.record);
    } catch (const PluvionError &error) {
        output.err(QStringLiteral("出错：") + error.description() + u'\n');
        return ExitStatus::ComputationFailed;
    }
    for (const QString &line : StormLines(request.outputs.storm))
        state(line);
    state(QString());
    for (const QString &note : request.outputs.storm.longProfile.notes)
        output.err(note + u'\n');
    return FinishStormRun(request.outputs, sep, output);
}

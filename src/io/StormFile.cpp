#include "io/StormFile.h"

#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFileInfo>
#include <optional>

namespace {

// The keys of the file, as the writer spells them; the reader ignores their case.
const QString KeySign = QStringLiteral("SIGN");
// The value of the SIGN line that marks a storm file. Part of the file format:
// every build writes and expects this text, whatever web address it shows.
const QString Signature = QStringLiteral("访问http://www.quillfen.com获取更多实用工具~");
const QString KeyFormType = QStringLiteral("F_type");
const QString KeyA1Flow = QStringLiteral("a1_167");
const QString KeyA1 = QStringLiteral("a1");
const QString KeyC = QStringLiteral("c");
const QString KeyB = QStringLiteral("b");
const QString KeyN = QStringLiteral("n");
const QString KeyLogarithm = QStringLiteral("LG_LN");
const QString KeyRepeatYear = QStringLiteral("重现期");
const QString KeyTime = QStringLiteral("降雨历时");
const QString KeyPercent = QStringLiteral("峰值比例");
const QString KeyStep = QStringLiteral("计算步长");
// Written only for a storm that is not in the default mode, so that a default
// storm's file stays as it always was and older readers ignore the line.
const QString KeyMode = QStringLiteral("计算模式");

QString KeyLine(const QString &key, const QString &value)
{
    return key + u'=' + value;
}

// The value of the first line that begins with `key` (letter case aside)
// followed at once by "=": the rest of that line, unchanged.
std::optional<QString> FindValue(const QStringList &lines, const QString &key)
{
    const qsizetype keyLength = key.size();
    for (const QString &line : lines) {
        if (line.size() > keyLength && line.at(keyLength) == u'=' &&
            QStringView(line).first(keyLength).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(keyLength + 1);
    }
    return std::nullopt;
}

QString ValueOrEmpty(const QStringList &lines, const QString &key)
{
    return FindValue(lines, key).value_or(QString());
}

} // namespace

QStringList StormFileLines(const Storm &storm, const Separators &sep)
{
    QStringList lines = {
        KeyLine(KeySign, Signature),
        KeyLine(KeyFormType, QString::number(static_cast<int32_t>(storm.form))),
        KeyLine(KeyA1Flow, GeneralNumber(storm.a1Flow, sep)),
        KeyLine(KeyA1, GeneralNumber(storm.a1, sep)),
        KeyLine(KeyC, GeneralNumber(storm.c, sep)),
        KeyLine(KeyB, GeneralNumber(storm.b, sep)),
        KeyLine(KeyN, GeneralNumber(storm.n, sep)),
        KeyLine(KeyLogarithm, QString::number(static_cast<int>(storm.log))),
        KeyLine(KeyRepeatYear, GeneralNumber(storm.period, sep)),
        KeyLine(KeyTime, GeneralNumber(storm.duration, sep)),
        KeyLine(KeyPercent, GeneralNumber(storm.peakRatio, sep)),
        KeyLine(KeyStep, QString::number(storm.step)),
    };
    if (storm.mode != CalcMode::Instant)
        lines.append(KeyLine(KeyMode, QString::number(static_cast<int>(storm.mode))));
    return lines;
}

void WriteStormFile(const FileTarget &target, const Storm &storm, const Separators &sep)
{
    WriteFileBytes(target, EncodeLegacyLines(StormFileLines(storm, sep)));
}

QString UnknownStormModeMessage(const QString &value)
{
    return QStringLiteral("计算模式 '%1' 无效：应为 0（瞬时雨强）或 1（时段平均）").arg(value);
}

QString StormFileTarget(const QString &chosenName)
{
    const QString name = QDir::fromNativeSeparators(chosenName);
    const qsizetype lastComponent = name.lastIndexOf(u'/') + 1;
    const qsizetype dot = name.lastIndexOf(u'.');
    const bool hasTxtExtension =
        dot >= lastComponent && QStringView(name).sliced(dot).toString().toLower() == QLatin1String(".txt");
    return hasTxtExtension ? chosenName : chosenName + QLatin1String(".txt");
}

StormFileReadResult ParseStormText(const QStringList &lines, Storm &storm, const Separators &sep)
{
    if (ValueOrEmpty(lines, KeySign) != Signature)
        return StormFileReadResult::NotAStormFile;

    // Every value converts before the storm changes, so a file that fails at
    // one of them leaves the storm as it was.
    const QChar decimal = sep.decimal;
    const double a1 = StrToFloat(ValueOrEmpty(lines, KeyA1), decimal);
    const double c = StrToFloat(ValueOrEmpty(lines, KeyC), decimal);
    const double b = StrToFloat(ValueOrEmpty(lines, KeyB), decimal);
    const double n = StrToFloat(ValueOrEmpty(lines, KeyN), decimal);
    const int32_t logarithm = StrToInt(ValueOrEmpty(lines, KeyLogarithm));
    const double repeatYear = StrToFloat(ValueOrEmpty(lines, KeyRepeatYear), decimal);
    const double time = StrToFloat(ValueOrEmpty(lines, KeyTime), decimal);
    const double percent = StrToFloat(ValueOrEmpty(lines, KeyPercent), decimal);
    const int32_t step = StrToInt(ValueOrEmpty(lines, KeyStep));
    CalcMode mode = CalcMode::Instant;
    if (const std::optional<QString> modeText = FindValue(lines, KeyMode)) {
        const int32_t value = StrToInt(*modeText);
        if (value != static_cast<int32_t>(CalcMode::Instant) &&
            value != static_cast<int32_t>(CalcMode::Block))
            throw PluvionError(UnknownStormModeMessage(*modeText));
        mode = static_cast<CalcMode>(value);
    }

    // Files from before the flow form have no F_type line and are in the
    // intensity form; otherwise both forms of A1 are taken as written.
    int32_t formType = 0;
    double a1Flow = a1 / FlowFormFactor;
    if (const std::optional<QString> formText = FindValue(lines, KeyFormType)) {
        formType = StrToInt(*formText);
        a1Flow = StrToFloat(ValueOrEmpty(lines, KeyA1Flow), decimal);
    }

    storm.form = static_cast<FormulaForm>(formType);
    storm.a1 = a1;
    storm.a1Flow = a1Flow;
    storm.c = c;
    storm.b = b;
    storm.n = n;
    storm.log = static_cast<Logarithm>(static_cast<uint8_t>(logarithm)); // one byte: the low 8 bits
    storm.period = repeatYear;
    storm.duration = time;
    storm.peakRatio = percent;
    storm.step = step;
    storm.mode = mode;
    return StormFileReadResult::Read;
}

StormFileReadResult ReadStormFile(const QString &path, Storm &storm, const Separators &sep)
{
    QByteArray bytes;
    try {
        bytes = ReadFileBytes(path);
    } catch (const PluvionError &error) {
        // A regular file too large for a storm file is not one.
        if (error.kind() == PluvionErrorKind::UnusableFile && QFileInfo(path).isFile())
            throw PluvionError(NotAStormFileMessage() + QStringLiteral("（文件大于 1 MB）"), error.kind());
        throw;
    }
    return ParseStormText(DecodeLegacyLines(bytes), storm, sep);
}

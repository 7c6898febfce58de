#include "io/StormFile.h"

#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <charconv>
#include <cmath>
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

// A long-duration storm's keys, written only for that kind, so that a
// Chicago storm's file stays as it always was. Numbers use "." whatever the
// locale, with the shortest digits that read back as the same double.
const QString KeyKind = QStringLiteral("Storm_Kind");
const QString KeyLongMethod = QStringLiteral("Long_Method");
const QString KeyLongSource = QStringLiteral("Long_Source");
const QString KeyLongDepths = QStringLiteral("Long_Depths");
const QString KeyLongTypicalStart = QStringLiteral("Long_TypicalStart");
const QString KeyLongTypicalChosen = QStringLiteral("Long_TypicalChosen");
const QString KeyLongTypicalDepth = QStringLiteral("Long_TypicalDepth");
const QString KeyLongStormsAveraged = QStringLiteral("Long_StormsAveraged");
const QString KeyLongStormsSkipped = QStringLiteral("Long_StormsSkipped");
// One entry per nested duration, separated by ";": duration, H_P(d), h(d),
// scale, nested start, wettest (0 or 1), excess; h(d) and scale empty when none.
const QString KeyLongNested = QStringLiteral("Long_Nested");
const QString KeyLongPattern = QStringLiteral("Long_Pattern");
const QString KeyLongSampling = QStringLiteral("Long_Sampling");
const QString KeyLongDistribution = QStringLiteral("Long_Distribution");
const QString KeyLongFormula = QStringLiteral("Long_Formula");
const QString KeyLongRecords = QStringLiteral("Long_Records");
const QString KeyLongYears = QStringLiteral("Long_Years");
const QString KeyLongMinCompleteness = QStringLiteral("Long_MinCompleteness");
const QString KeyLongNotes = QStringLiteral("Long_Notes"); // how many notes; each is Long_Note<k>, from 1
const QString KeyLongNote = QStringLiteral("Long_Note");

const QString KindChicago = QStringLiteral("Chicago");
const QString KindLong = QStringLiteral("Long");
const QString MethodSameFrequency = QStringLiteral("SameFrequency");
const QString MethodAverageVariability = QStringLiteral("AverageVariability");
const QString SourceRecords = QStringLiteral("Records");
const QString SourceFormula = QStringLiteral("Formula");

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

QString ShortestNumber(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return QString::fromLatin1(text, result.ptr - text);
}

QString NumberList(const std::vector<double> &values)
{
    QStringList parts;
    parts.reserve(qsizetype(values.size()));
    for (const double value : values)
        parts.append(ShortestNumber(value));
    return parts.join(u';');
}

// A text as the file holds it: characters GBK cannot hold (and line breaks)
// as \uXXXX, a backslash doubled, so that every text reads back as written.
QString EscapedText(const QString &text)
{
    QStringEncoder encoder("GBK");
    QString escaped;
    for (const QChar c : text) {
        if (c == u'\\') {
            escaped += QStringLiteral("\\\\");
            continue;
        }
        bool keep = c.unicode() >= 0x20 && !c.isSurrogate();
        if (keep && c.unicode() >= 0x80) {
            const QByteArray bytes = encoder.encode(QStringView(&c, 1));
            keep = !encoder.hasError() && QStringDecoder("GBK").decode(bytes) == QString(c);
            encoder.resetState();
        }
        if (keep)
            escaped += c;
        else
            escaped += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QChar(u'0'));
    }
    return escaped;
}

struct Malformed
{
    QString key;
};

QString UnescapedText(const QString &key, const QString &text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\') {
            plain += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'\\') {
            plain += u'\\';
            ++i;
            continue;
        }
        bool ok = false;
        const ushort code =
            i + 5 < text.size() && text[i + 1] == u'u' ? text.mid(i + 2, 4).toUShort(&ok, 16) : 0;
        if (!ok)
            throw Malformed{key};
        plain += QChar(code);
        i += 5;
    }
    return plain;
}

double ReadNumber(const QString &key, QStringView text)
{
    const QByteArray latin = text.toLatin1();
    double value = 0;
    const auto result = std::from_chars(latin.data(), latin.data() + latin.size(), value);
    if (latin.isEmpty() || result.ec != std::errc() || result.ptr != latin.data() + latin.size() ||
        !std::isfinite(value))
        throw Malformed{key};
    return value;
}

int ReadInteger(const QString &key, QStringView text)
{
    int32_t value = 0;
    if (!TryParseInt32(text, &value))
        throw Malformed{key};
    return value;
}

std::vector<double> ReadNumberList(const QString &key, const QString &text)
{
    std::vector<double> values;
    if (text.isEmpty())
        return values;
    for (const QStringView part : QStringView(text).split(u';'))
        values.push_back(ReadNumber(key, part));
    return values;
}

QString NestedText(const std::vector<NestedDesignDepth> &nested)
{
    QStringList entries;
    for (const NestedDesignDepth &d : nested)
        entries.append(QStringList{QString::number(d.duration), ShortestNumber(d.design),
                                   d.typical ? ShortestNumber(*d.typical) : QString(),
                                   d.scale ? ShortestNumber(*d.scale) : QString(),
                                   QString::number(d.nestedStart), QString::number(d.wettest ? 1 : 0),
                                   ShortestNumber(d.excess)}
                           .join(u','));
    return entries.join(u';');
}

std::vector<NestedDesignDepth> ReadNested(const QString &text)
{
    std::vector<NestedDesignDepth> nested;
    if (text.isEmpty())
        return nested;
    for (const QStringView entry : QStringView(text).split(u';')) {
        const QList<QStringView> f = entry.split(u',');
        if (f.size() != 7)
            throw Malformed{KeyLongNested};
        NestedDesignDepth d;
        d.duration = ReadInteger(KeyLongNested, f[0]);
        d.design = ReadNumber(KeyLongNested, f[1]);
        if (!f[2].isEmpty())
            d.typical = ReadNumber(KeyLongNested, f[2]);
        if (!f[3].isEmpty())
            d.scale = ReadNumber(KeyLongNested, f[3]);
        d.nestedStart = ReadInteger(KeyLongNested, f[4]);
        if (f[5] != u"0" && f[5] != u"1")
            throw Malformed{KeyLongNested};
        d.wettest = f[5] == u"1";
        d.excess = ReadNumber(KeyLongNested, f[6]);
        nested.push_back(d);
    }
    return nested;
}

void AppendLongStormLines(QStringList &lines, const LongStormProfile &p)
{
    QStringList years;
    for (const int year : p.years)
        years.append(QString::number(year));
    lines << KeyLine(KeyKind, KindLong)
          << KeyLine(KeyLongMethod, p.method == LongStormMethod::AverageVariability ? MethodAverageVariability
                                                                                    : MethodSameFrequency)
          << KeyLine(KeyLongSource, p.source == DesignDepthSource::Formula ? SourceFormula : SourceRecords)
          << KeyLine(KeyLongDepths, NumberList(p.depths))
          << KeyLine(KeyLongTypicalStart, EscapedText(p.typicalStart))
          << KeyLine(KeyLongTypicalChosen, QString::number(p.typicalChosen ? 1 : 0))
          << KeyLine(KeyLongTypicalDepth, ShortestNumber(p.typicalDepth))
          << KeyLine(KeyLongStormsAveraged, QString::number(p.stormsAveraged))
          << KeyLine(KeyLongStormsSkipped, QString::number(p.stormsSkipped))
          << KeyLine(KeyLongNested, NestedText(p.nested)) << KeyLine(KeyLongPattern, NumberList(p.pattern))
          << KeyLine(KeyLongSampling, EscapedText(p.sampling))
          << KeyLine(KeyLongDistribution, EscapedText(p.distribution))
          << KeyLine(KeyLongFormula, EscapedText(p.formula))
          << KeyLine(KeyLongRecords, EscapedText(p.records)) << KeyLine(KeyLongYears, years.join(u';'))
          << KeyLine(KeyLongMinCompleteness, ShortestNumber(p.minCompleteness))
          << KeyLine(KeyLongNotes, QString::number(p.notes.size()));
    for (qsizetype k = 0; k < p.notes.size(); ++k)
        lines << KeyLine(KeyLongNote + QString::number(k + 1), EscapedText(p.notes[k]));
}

// The long-duration storm's profile from its keys. Raises Malformed naming
// the first key that is missing or does not read.
LongStormProfile ReadLongStormProfile(const QStringList &lines)
{
    const auto required = [&lines](const QString &key) {
        const std::optional<QString> value = FindValue(lines, key);
        if (!value)
            throw Malformed{key};
        return *value;
    };
    const auto text = [&lines](const QString &key) { return UnescapedText(key, ValueOrEmpty(lines, key)); };
    const auto flag = [&](const QString &key) {
        const QString value = required(key);
        if (value != u"0" && value != u"1")
            throw Malformed{key};
        return value == u"1";
    };
    LongStormProfile p;
    const QString method = required(KeyLongMethod);
    if (method == MethodSameFrequency)
        p.method = LongStormMethod::SameFrequency;
    else if (method == MethodAverageVariability)
        p.method = LongStormMethod::AverageVariability;
    else
        throw Malformed{KeyLongMethod};
    const QString source = required(KeyLongSource);
    if (source == SourceRecords)
        p.source = DesignDepthSource::Records;
    else if (source == SourceFormula)
        p.source = DesignDepthSource::Formula;
    else
        throw Malformed{KeyLongSource};
    p.depths = ReadNumberList(KeyLongDepths, required(KeyLongDepths));
    if (p.depths.empty() || std::any_of(p.depths.begin(), p.depths.end(), [](double d) { return d < 0; }))
        throw Malformed{KeyLongDepths};
    p.typicalStart = text(KeyLongTypicalStart);
    p.typicalChosen = flag(KeyLongTypicalChosen);
    p.typicalDepth = ReadNumber(KeyLongTypicalDepth, required(KeyLongTypicalDepth));
    p.stormsAveraged = ReadInteger(KeyLongStormsAveraged, required(KeyLongStormsAveraged));
    p.stormsSkipped = ReadInteger(KeyLongStormsSkipped, required(KeyLongStormsSkipped));
    p.nested = ReadNested(required(KeyLongNested));
    p.pattern = ReadNumberList(KeyLongPattern, ValueOrEmpty(lines, KeyLongPattern));
    p.sampling = text(KeyLongSampling);
    p.distribution = text(KeyLongDistribution);
    p.formula = text(KeyLongFormula);
    p.records = text(KeyLongRecords);
    const QString years = ValueOrEmpty(lines, KeyLongYears);
    if (!years.isEmpty())
        for (const QStringView year : QStringView(years).split(u';'))
            p.years.push_back(ReadInteger(KeyLongYears, year));
    p.minCompleteness = ReadNumber(KeyLongMinCompleteness, required(KeyLongMinCompleteness));
    const int notes = ReadInteger(KeyLongNotes, required(KeyLongNotes));
    if (notes < 0 || notes > 10000)
        throw Malformed{KeyLongNotes};
    for (int k = 1; k <= notes; ++k) {
        const QString key = KeyLongNote + QString::number(k);
        p.notes.append(UnescapedText(key, required(key)));
    }
    return p;
}

} // namespace

QString MalformedLongStormMessage(const QString &key)
{
    return QStringLiteral("长历时雨型文件中 %1 的值缺少或无效").arg(key);
}

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
    if (storm.kind == StormKind::Long)
        AppendLongStormLines(lines, storm.longProfile);
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

    StormKind kind = StormKind::Chicago;
    LongStormProfile profile;
    if (const std::optional<QString> kindText = FindValue(lines, KeyKind)) {
        if (*kindText == KindLong)
            kind = StormKind::Long;
        else if (*kindText != KindChicago)
            throw PluvionError(MalformedLongStormMessage(KeyKind));
    }
    if (kind == StormKind::Long) {
        try {
            profile = ReadLongStormProfile(lines);
        } catch (const Malformed &malformed) {
            throw PluvionError(MalformedLongStormMessage(malformed.key));
        }
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
    storm.kind = kind;
    storm.longProfile = std::move(profile);
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

#include "io/ViewOptions.h"

#include "io/FileBytes.h"
#include "io/ProfileFile.h"
#include "model/PluvionError.h"

#include <QFileInfo>
#include <QStringView>

namespace {

const QString kSection = QStringLiteral("OPTIONS");

int digitValue(QChar c, int base)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (base == 16 && u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (base == 16 && u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// A whole number as the options file holds it: decimal with an optional sign,
// or hexadecimal after "0x" / "0X" (when the text is longer than the prefix)
// or after "$". Anything else, or a number outside the 32-bit signed range,
// is not a whole number.
bool parseWholeNumber(const QString &text, int32_t *out)
{
    QStringView digits = text;
    int base = 10;
    bool negative = false;
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        digits = digits.mid(2);
        base = 16;
    } else if (text.startsWith(u'$')) {
        digits = digits.mid(1);
        base = 16;
    } else if (text.startsWith(u'+') || text.startsWith(u'-')) {
        negative = text[0] == u'-';
        digits = digits.mid(1);
    }
    if (digits.isEmpty())
        return false;

    const int64_t limit = negative ? -int64_t(INT32_MIN) : int64_t(INT32_MAX);
    int64_t magnitude = 0;
    for (QChar c : digits) {
        const int digit = digitValue(c, base);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    *out = int32_t(negative ? -magnitude : magnitude);
    return true;
}

int32_t readInteger(const ProfileFile &profile, const QString &key, int32_t fallback)
{
    int32_t number = 0;
    return parseWholeNumber(profile.value(kSection, key), &number) ? number : fallback;
}

bool readBool(const ProfileFile &profile, const QString &key, bool fallback)
{
    return readInteger(profile, key, fallback ? 1 : 0) != 0;
}

void writeInteger(ProfileFile &profile, const QString &key, int32_t number)
{
    profile.setValue(kSection, key, QString::number(number));
}

void writeBool(ProfileFile &profile, const QString &key, bool flag)
{
    writeInteger(profile, key, flag ? 1 : 0);
}

} // namespace

PluvionError OptionsWriteFailure(const QString &path, const PluvionError &cause)
{
    QString reason = cause.description();
    for (const QString &prefix : {CannotCreateFileMessage(path, {}), CannotOpenFileMessage(path, {})}) {
        if (reason.startsWith(prefix))
            reason = reason.sliced(prefix.size());
    }
    return PluvionError(QStringLiteral("Unable to write to %1：%2").arg(path, reason), cause.kind());
}

std::optional<QString> LoadOptions(TViewOptions &options, const QString &path)
{
    ProfileFile profile;
    // A file that cannot be read counts as missing: every option takes its default.
    std::optional<QString> failure;
    try {
        profile.loadFile(path);
    } catch (const PluvionError &error) {
        failure = error.description();
    }

    const TViewOptions defaults;
    options.ShowLabel_P = readBool(profile, QStringLiteral("ShowLabel_P"), defaults.ShowLabel_P);
    options.ShowLabel_T = readBool(profile, QStringLiteral("ShowLabel_T"), defaults.ShowLabel_T);
    options.ShowLabel_R = readBool(profile, QStringLiteral("ShowLabel_R"), defaults.ShowLabel_R);
    options.ShowLabel__Overall_Rainfall = readBool(profile, QStringLiteral("ShowLabel__Overall_Rainfall"),
                                                   defaults.ShowLabel__Overall_Rainfall);
    options.ShowLabel_Average =
        readBool(profile, QStringLiteral("ShowLabel_Average"), defaults.ShowLabel_Average);
    options.ShowLabel_Formula_Depth =
        readBool(profile, QStringLiteral("ShowLabel_Formula_Depth"), defaults.ShowLabel_Formula_Depth);
    options.ShowAxis_Overall =
        readBool(profile, QStringLiteral("ShowAxis_Overall"), defaults.ShowAxis_Overall);
    options.ShowAxis_Intensity =
        readBool(profile, QStringLiteral("ShowAxis_Intensity"), defaults.ShowAxis_Intensity);
    options.CalcByShow = readBool(profile, QStringLiteral("CalcByShow"), defaults.CalcByShow);
    options.Precision = readInteger(profile, QStringLiteral("Precision"), defaults.Precision);
    options.TimeFormat = readInteger(profile, QStringLiteral("TimeFormat"), defaults.TimeFormat);
    return failure;
}

void SaveOptions(const TViewOptions &options, const QString &path)
{
    // The new content is built from the whole old file, so a file that exists
    // but cannot be read must not be replaced.
    ProfileFile profile;
    try {
        profile.loadFile(path);
    } catch (const PluvionError &error) {
        throw OptionsWriteFailure(path, error);
    }
    const QByteArray before = profile.toBytes();

    writeBool(profile, QStringLiteral("ShowLabel_P"), options.ShowLabel_P);
    writeBool(profile, QStringLiteral("ShowLabel_T"), options.ShowLabel_T);
    writeBool(profile, QStringLiteral("ShowLabel_R"), options.ShowLabel_R);
    writeBool(profile, QStringLiteral("ShowLabel__Overall_Rainfall"), options.ShowLabel__Overall_Rainfall);
    writeBool(profile, QStringLiteral("ShowLabel_Average"), options.ShowLabel_Average);
    writeBool(profile, QStringLiteral("ShowAxis_Overall"), options.ShowAxis_Overall);
    writeBool(profile, QStringLiteral("ShowAxis_Intensity"), options.ShowAxis_Intensity);
    writeBool(profile, QStringLiteral("CalcByShow"), options.CalcByShow);
    writeInteger(profile, QStringLiteral("Precision"), options.Precision);
    writeInteger(profile, QStringLiteral("TimeFormat"), options.TimeFormat);
    // The formula-depth label came later than the other options: its key is
    // written only once it matters, so that a file saved with the defaults
    // holds exactly the ten keys older versions wrote.
    const QString depthKey = QStringLiteral("ShowLabel_Formula_Depth");
    bool depthKeyPresent = false;
    (void)profile.value(kSection, depthKey, &depthKeyPresent);
    if (depthKeyPresent || options.ShowLabel_Formula_Depth != TViewOptions().ShowLabel_Formula_Depth)
        writeBool(profile, depthKey, options.ShowLabel_Formula_Depth);

    // Nothing to write when nothing changed: a read-only file that already
    // holds these options is no failure.
    if (QFileInfo::exists(path) && profile.toBytes() == before)
        return;
    try {
        profile.saveFile(path);
    } catch (const PluvionError &error) {
        throw OptionsWriteFailure(path, error);
    }
}

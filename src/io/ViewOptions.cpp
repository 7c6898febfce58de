#include "io/ViewOptions.h"

#include "io/FileBytes.h"
#include "io/ProfileFile.h"
#include "model/PluvionError.h"

#include <QFileInfo>
#include <QStringView>
#include <type_traits>

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

// The file's whole number for a field's type, and back.
int32_t asInteger(bool flag)
{
    return flag ? 1 : 0;
}
int32_t asInteger(int32_t number)
{
    return number;
}
int32_t asInteger(TimeColumn column)
{
    return int32_t(column);
}
template <typename Field> Field fromInteger(int32_t number)
{
    if constexpr (std::is_same_v<Field, bool>)
        return number != 0;
    else
        return Field(number);
}

const ViewOptionKey Keys[] = {
    {u"ShowLabel_P", &ViewOptions::ShowLabel_P},
    {u"ShowLabel_T", &ViewOptions::ShowLabel_T},
    {u"ShowLabel_R", &ViewOptions::ShowLabel_R},
    {u"ShowLabel__Overall_Rainfall", &ViewOptions::ShowLabel__Overall_Rainfall},
    {u"ShowLabel_Average", &ViewOptions::ShowLabel_Average},
    {u"ShowAxis_Overall", &ViewOptions::ShowAxis_Overall},
    {u"ShowAxis_Intensity", &ViewOptions::ShowAxis_Intensity},
    {u"CalcByShow", &ViewOptions::CalcByShow},
    {u"Precision", &ViewOptions::Precision},
    {u"TimeFormat", &ViewOptions::TimeFormat},
    // The formula-depth label came later than the other options: its key is
    // written only once it matters, so that a file saved with the defaults
    // holds exactly the ten keys older versions wrote.
    {u"ShowLabel_Formula_Depth", &ViewOptions::ShowLabel_Formula_Depth, true},
};

} // namespace

std::span<const ViewOptionKey> ViewOptionKeys()
{
    return Keys;
}

PluvionError OptionsWriteFailure(const QString &path, const PluvionError &cause)
{
    QString reason = cause.description();
    for (const QString &prefix : {CannotCreateFileMessage(path, {}), CannotOpenFileMessage(path, {})}) {
        if (reason.startsWith(prefix))
            reason = reason.sliced(prefix.size());
    }
    return PluvionError(QStringLiteral("Unable to write to %1：%2").arg(path, reason), cause.kind());
}

std::optional<QString> LoadOptions(ViewOptions &options, const QString &path)
{
    ProfileFile profile;
    // A file that cannot be read counts as missing: every option takes its default.
    std::optional<QString> failure;
    try {
        profile.loadFile(path);
    } catch (const PluvionError &error) {
        failure = error.description();
    }

    const ViewOptions defaults;
    for (const ViewOptionKey &entry : Keys) {
        std::visit(
            [&](auto field) {
                using Field = std::remove_reference_t<decltype(options.*field)>;
                int32_t number = 0;
                const QString text = profile.value(kSection, QString::fromUtf16(entry.key));
                options.*field =
                    parseWholeNumber(text, &number) ? fromInteger<Field>(number) : defaults.*field;
            },
            entry.field);
    }
    return failure;
}

void SaveOptions(const ViewOptions &options, const QString &path)
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

    const ViewOptions defaults;
    for (const ViewOptionKey &entry : Keys) {
        const QString key = QString::fromUtf16(entry.key);
        std::visit(
            [&](auto field) {
                if (entry.writtenWhenNeeded) {
                    bool present = false;
                    (void)profile.value(kSection, key, &present);
                    if (!present && options.*field == defaults.*field)
                        return;
                }
                profile.setValue(kSection, key, QString::number(asInteger(options.*field)));
            },
            entry.field);
    }

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

#include "StormEntry.h"

#include "io/TextLines.h"

#include <QStringView>
#include <array>

namespace {

// Empty once blanks and control characters are stripped from both ends.
bool isBlankEntry(QStringView text)
{
    return TrimControls(text).isEmpty();
}

} // namespace

std::optional<StormEntryProblem> CheckStormEntry(const StormEntry &entry, const QString &a1Placeholder,
                                                 QChar decimal)
{
    struct Required
    {
        const QString &text;
        QString message;
        StormEntryField field;
    };
    const std::array<Required, 7> beforePercent = {{
        {entry.a1, QStringLiteral("[") + a1Placeholder + QStringLiteral("]不能为空！"), StormEntryField::A1},
        {entry.c, QStringLiteral("[c]不能为空！"), StormEntryField::C},
        {entry.b, QStringLiteral("[b]不能为空！"), StormEntryField::B},
        {entry.n, QStringLiteral("[n]不能为空！"), StormEntryField::N},
        {entry.repeatYear, QStringLiteral("重现期不能为空！"), StormEntryField::RepeatYear},
        {entry.stormTime, QStringLiteral("降雨历时不能为空！"), StormEntryField::StormTime},
        {entry.stormPercent, QStringLiteral("峰值比例不能为空！"), StormEntryField::StormPercent},
    }};
    for (const Required &required : beforePercent) {
        if (isBlankEntry(required.text))
            return StormEntryProblem{required.message, required.field};
    }

    // The peak must lie inside the storm, never on its first or last minute.
    const double percent = StrToFloat(entry.stormPercent, decimal);
    if (!(percent > 0 && percent < 1))
        return StormEntryProblem{QStringLiteral("峰值比例只能取值(0~1)之间，不包括0和1"),
                                 StormEntryField::StormPercent};

    if (isBlankEntry(entry.step))
        return StormEntryProblem{QStringLiteral("计算步长不能为空！"), StormEntryField::Step};
    return std::nullopt;
}

bool StoreStormEntry(const StormEntry &entry, Storm &storm, const Separators &sep)
{
    // Everything is converted into a copy first, so that a value that fails
    // leaves the storm exactly as it was.
    Storm entered = storm;
    const auto number = [&sep](const QString &text, double *out) {
        return TryParseFloat(text, sep.decimal, out);
    };

    entered.form = static_cast<FormulaForm>(entry.stormType);
    if (entered.form == FormulaForm::Intensity || entered.form == FormulaForm::Flow) {
        double typedA1 = 0;
        if (!number(entry.a1, &typedA1))
            return false;
        entered.setA1InForm(typedA1);
    }
    if (!number(entry.c, &entered.c) || !number(entry.b, &entered.b) || !number(entry.n, &entered.n))
        return false;
    entered.log =
        static_cast<Logarithm>(static_cast<uint8_t>(entry.lgLn)); // the field is one byte: the low 8 bits
    if (entry.stormMode == 0)
        entered.mode = CalcMode::Instant;
    else if (entry.stormMode == 1)
        entered.mode = CalcMode::Block;
    if (!number(entry.repeatYear, &entered.period) || !number(entry.stormTime, &entered.duration) ||
        !number(entry.stormPercent, &entered.peakRatio))
        return false;
    if (!TryParseInt32(entry.step, &entered.step))
        return false;
    entered.averageIntensity = 0;
    entered.totalDepth = 0;

    storm = entered;
    return true;
}

#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <cstdint>

// The separators every number and clock text uses. The program reads them from
// the user's locale once at start-up and passes them down; tests set them.
struct Separators
{
    QChar decimal = u'.';
    QChar time = u':';

    // The decimal and time separators of the system locale.
    static Separators fromSystem();
};

// The value rounded to n decimals on its 15-significant-digit decimal text,
// halves away from zero (0.125 -> 0.13, 1.005 -> 1.01). n below 1 rounds to a
// whole number. Non-finite values come back unchanged.
double RoundToShown(int n, double x);

// The shown value: RoundToShown(precision, x) in fixed notation with exactly
// `precision` decimals (2 when precision is above 18, none when below 1).
QString ShownValue(double x, int precision, const Separators &sep = {});

// The general number form as a plain conversion writes it: 15 significant
// digits, no trailing zeros, fixed from 0.0001 to below 1e15, otherwise
// scientific with a bare exponent (1.5E-5, 1E15).
QString GeneralNumber(double x, const Separators &sep = {});

// The general number form as the "%g" pattern writes it: as GeneralNumber, but
// a scientific exponent has at least three digits (1.5E-005, 1E015).
QString GeneralNumberG(double x, const Separators &sep = {});

// Minute m of a row as "HH:MM" of a day: hours (m div 60) mod 24, minutes m mod 60.
QString ClockTime(int64_t minute, const Separators &sep = {});

// Minute m as a whole number of at least two digits ("##00").
QString MinuteTime(int64_t minute);

// The same texts for writers that form many rows: appended to a text the
// caller keeps (no allocation once it has room), or written as ASCII into a
// buffer of at least NumberTextCapacity characters, returning the end of the
// text. A buffer form takes its separator as one ASCII character; a writer
// whose separators are not ASCII uses the QString forms.
inline constexpr int NumberTextCapacity = 352; // a shown value near the largest double, 18 decimals

void AppendShownValue(QString &text, double x, int precision, const Separators &sep = {});
void AppendClockTime(QString &text, int64_t minute, const Separators &sep = {});
void AppendMinuteTime(QString &text, int64_t minute);

char *WriteShownValue(char *out, double x, int precision, char decimalSeparator = '.');
char *WriteGeneralNumber(char *out, double x, char decimalSeparator = '.');
char *WriteGeneralNumberG(char *out, double x, char decimalSeparator = '.');
char *WriteClockTime(char *out, int64_t minute, char timeSeparator = ':');
char *WriteMinuteTime(char *out, int64_t minute);

// x with 17 significant digits as the raw listing prints it: the "%g" form
// ("1e+20", "0.10000000000000001"), halves away from zero on the exact value,
// "nan", "inf" and "-inf", and zero without a sign.
char *WriteFullPrecision(char *out, double x);

// A decimal number as the storm file and the program's own readers accept it:
// blanks around it, an optional sign, digits with the given decimal separator,
// an optional exponent (E or e). "NAN", "INF" and "-INF" (any case) read as the
// special values. Returns false when the text is not such a number.
bool TryParseFloat(QStringView text, QChar decimalSeparator, double *out);

// A decimal whole number in the 32-bit signed range, blanks around it allowed.
bool TryParseInt32(QStringView text, int32_t *out);

// As the two above, raising "'%s' is not a valid floating point value" or
// "'%s' is not a valid integer value" (PluvionError) on failure.
double StrToFloat(const QString &text, QChar decimalSeparator);
int32_t StrToInt(const QString &text);

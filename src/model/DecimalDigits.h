#pragma once

// Decimal digits of a double as the program shows them: its 15 significant
// digits, then rounded to a count of decimals, halves away from zero. The
// text writers of NumberForms.cpp form their texts from these digits.

#include <cstdint>

namespace DecimalDigits {

// A finite decimal number: sign, significant digits without leading zeros and
// the power of ten of the last digit. Zero has the digits "0". Held in place:
// the texts are formed once per table cell, so nothing here allocates.
struct DecimalText
{
    bool negative = false;
    int count = 1;
    char digits[24] = {'0'};
    int lastPower = 0;

    bool isZero() const { return count == 1 && digits[0] == '0'; }
    // Power of ten of the first digit: the exponent of the scientific form.
    int firstPower() const { return lastPower + count - 1; }
    char digit(int index) const { return index >= 0 && index < count ? digits[index] : '0'; }
};

// The powers of ten a double holds exactly, 10^0 .. 10^22.
extern const double exactPowersOfTen[23];

// Removes the zeros after the last significant digit (zero stays "0").
void stripTrailingZeros(DecimalText &d);
// x rounded to `significant` digits, halves away from zero.
DecimalText roundSignificant(double x, int significant);
// x rounded to its 15 significant digits.
DecimalText roundFifteen(double x);
// d rounded to `decimals` places, halves away from zero.
DecimalText roundDecimals(DecimalText d, int decimals);
// The double nearest to d (the largest double beyond its range).
double toDouble(const DecimalText &d);
// x rounded to its 15 significant digits, then to n decimals: the decimal
// whose nearest double is the shown value.
DecimalText shownDecimal(int n, double x);
// The shown decimal as a whole number of digits times 10^power, for the
// common case of a value whose 15 digits come from its shortest text. False
// when the general path is needed.
bool shownWhole(int n, double x, uint64_t &digits, int &power);
// The shown value's digits as a whole number scaled by 10^decimals, when the
// scaled double lies clearly off a half; false when the exact path decides.
bool quickScaled(double magnitude, int decimals, uint64_t &digits);

} // namespace DecimalDigits

#pragma once

#include <QByteArray>
#include <cmath>

// An i–t–P table of a known formula, i = 10 (1 + 0.8 lg P) / (t + 8)^0.7,
// intensities to 6 decimals, as a CSV file's bytes.
inline QByteArray KnownTable()
{
    QByteArray text = "t\\P,2,5,10,20\r\n";
    for (int t : {5, 10, 15, 20, 30, 45, 60, 90, 120}) {
        text += QByteArray::number(t);
        for (double p : {2.0, 5.0, 10.0, 20.0})
            text += ',' + QByteArray::number(10 * (1 + 0.8 * std::log10(p)) / std::pow(t + 8.0, 0.7), 'f', 6);
        text += "\r\n";
    }
    return text;
}

// Annual-maximum samples of the same formula: 25 years from 2000, the year of
// rank k at the period 1 / (1 − (k + 0.5)/25), depths in mm to 2 decimals for
// 5, 10, 20 and 60 minutes, cells separated by `separator`, lines by LF.
inline QByteArray KnownSamples(char separator = ',')
{
    QByteArray text =
        QByteArray("年份") + separator + "5" + separator + "10" + separator + "20" + separator + "60\n";
    for (int year = 0; year < 25; ++year) {
        const double p = 1 / (1 - (year + 0.5) / 25.0);
        text += QByteArray::number(2000 + year);
        for (int t : {5, 10, 20, 60})
            text += separator +
                    QByteArray::number(10 * (1 + 0.8 * std::log10(p)) / std::pow(t + 8.0, 0.7) * t, 'f', 2);
        text += '\n';
    }
    return text;
}

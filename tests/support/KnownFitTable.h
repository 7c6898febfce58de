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

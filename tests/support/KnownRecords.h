#pragma once

#include "records/RecordFile.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <gtest/gtest.h>

// Twelve years of rain-gauge records, one file each in `folder` (created),
// listing only the rain: one storm a year of 1-minute depths peaking in its
// fourth minute, larger in some years.
inline void WriteKnownRecords(const QString &folder)
{
    ASSERT_TRUE(QDir().mkpath(folder));
    const int shape[] = {1, 2, 4, 6, 3, 2, 2, 1, 1, 1, 1, 1};
    for (int year = 2001; year <= 2012; ++year) {
        QByteArray text = "时间,雨量\r\n";
        const double scale = 1 + (year * 7 % 12) / 4.0;
        const std::int32_t start = RecordMinute(year, 7, 1, 10, 0);
        for (int k = 0; k < 12; ++k)
            text += RecordTimeText(start + k).toUtf8() + ',' + QByteArray::number(shape[k] * scale) + "\r\n";
        QFile file(QDir(folder).filePath(QStringLiteral("%1.csv").arg(year)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(text), text.size());
    }
}

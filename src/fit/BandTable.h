#pragma once

#include "fit/Bootstrap.h"
#include "fit/FitTables.h"
#include "io/FileBytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

// The bands as texts and as a file: the tables the reports and the printed
// output show, one line for a design storm, the resampling in words, and the
// band table file.

// The level as the texts show it: "90%".
QString BandLevelText(double level);

// The band table: one row per duration and period of the i–t–P table, the
// table's intensity and the formula's with their bands, mm/min to 4 decimals:
// 历时(min),重现期(a),表中雨强(mm/min),表中雨强90%下限(mm/min),… . The
// formula's cells of the table alone show "—".
FitResultTable BandTable(const BootstrapResult &result);
// The parameters' bands: 参数, 估计值, 90%下限, 90%上限, 相对半宽: A1, C, b and n (not for the
// table alone), and r for records.
FitResultTable ParameterBandTable(const BootstrapResult &result);

// One line for a design storm: "P = 50 a，t = 60 min：i = 1.2300 mm/min（90%：1.1000 ~ 1.3800）".
QString BandReading(const BootstrapResult &result, double period, double minutes);
// The readings the reports and the printed output give: P = 2, 10 and 50 a
// at t = 5, 60 and 180 min, those inside the table's periods and durations.
QStringList DesignBandReadings(const BootstrapResult &result);

// The resampling in words: what was drawn, how often, the seed, the rule of
// the limits and the failed resamples with the first reasons.
QString BootstrapSentence(const BootstrapResult &result);

// The band table file: the header and rows of BandTable, GBK, CR LF.
QStringList BandTableLines(const BootstrapResult &result);
QByteArray BandTableFileBytes(const BootstrapResult &result);
void WriteBandTable(const FileTarget &target, const BootstrapResult &result);

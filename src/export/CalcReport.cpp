#include "CalcReport.h"

#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QDir>
#include <QFile>
#include <cmath>

namespace {

QString Placeholder(const char16_t *name)
{
    return QStringLiteral("<!--") + QString::fromUtf16(name) + QStringLiteral("-->");
}

WordEditStep ReportEditStep(const Storm &storm, int precision, const TableRows &rows, int timeFormat,
                            const Separators &sep)
{
    return [&storm, precision, &rows, timeFormat, &sep](const QString &document, const QString &rowTemplate) {
        return FillCalcReportDocument(WithTimeHeading(document, timeFormat), rowTemplate, storm, precision,
                                      rows, sep);
    };
}

// The report's formulas as the storm has them: the storm-intensity formula
// of the input section in the storm's own form (i = A1(…) in mm/min, or
// q = 166.7A1(…) in L/(s·hm²)) with its legend, and every formula with the
// storm's logarithm (lg P or ln P). A form or logarithm outside the lists
// keeps the template's.
QString WithStormsFormula(const QString &document, const Storm &storm)
{
    QString text = document;
    if (storm.log == Logarithm::Ln)
        text.replace(QStringLiteral("<m:t>lg</m:t>"), QStringLiteral("<m:t>ln</m:t>"));
    if (storm.form == FormulaForm::Intensity) {
        text.replace(QStringLiteral("<m:r><m:t>q=</m:t></m:r>"), QStringLiteral("<m:r><m:t>i=</m:t></m:r>"));
        text.replace(QStringLiteral("<m:r><m:t>166.7</m:t></m:r>"), QString());
        text.replace(QStringLiteral("式中：q——设计暴雨强度，L/(s·hm²)；"),
                     QStringLiteral("式中：i——设计暴雨强度，mm/min；"));
    }
    return text;
}

} // namespace

QString CalcReportProposedName(const Storm &storm, const Separators &sep)
{
    return StormFileName(QStringLiteral("雨型计算书 P=%1年 T=%2分 R=%3.docx"), storm, sep);
}

QString FillCalcReportDocument(const QString &document, const QString &rowTemplate, const Storm &storm,
                               int precision, const TableRows &rows, const Separators &sep)
{
    QString text = WithStormsFormula(document, storm);
    const auto put = [&text](const char16_t *name, const QString &value) {
        text.replace(Placeholder(name), value);
    };

    if (storm.form == FormulaForm::Intensity) {
        put(u"A1NAME", QStringLiteral("A1"));
        put(u"A1", GeneralNumber(storm.a1, sep));
    } else if (storm.form == FormulaForm::Flow) {
        put(u"A1NAME", QStringLiteral("166.7A1"));
        put(u"A1", GeneralNumber(storm.a1Flow, sep));
    }
    put(u"c", GeneralNumber(storm.c, sep));
    put(u"b", GeneralNumber(storm.b, sep));
    put(u"n", GeneralNumber(storm.n, sep));
    put(u"设计重现期", GeneralNumber(storm.period, sep));
    put(u"降雨历时", GeneralNumber(storm.duration, sep));
    put(u"峰值比例", GeneralNumber(storm.peakRatio, sep));
    put(u"计算步长", QString::number(storm.step));
    put(u"计算模式",
        storm.mode == CalcMode::Block
            ? StormModeName(storm.mode) + QStringLiteral("（每个步长内的平均雨强，总雨量等于公式雨量）")
            : StormModeName(storm.mode) + QStringLiteral("（逐分钟按暴雨强度公式取值）"));
    text = InsertTableRows(text, rowTemplate, rows);
    // The totals as the table rounds them, without the table's trailing zeros.
    put(u"累计降雨总量", GeneralNumber(RoundToShown(precision, storm.totalDepth), sep));
    put(u"平均降雨强度", GeneralNumber(RoundToShown(precision, storm.averageIntensity), sep));
    // The depth check: what the formula itself gives over the duration.
    QString depth;
    try {
        depth = GeneralNumber(RoundToShown(precision, FormulaDepth(storm)), sep) +
                QStringLiteral("mm（暴雨强度公式在降雨历时内的雨量 a·t/(t+b)^n，与累计降雨总量对照）");
    } catch (const PluvionError &) {
        depth = QStringLiteral("无法计算");
    }
    put(u"公式雨量", depth);
    return text;
}

void WriteCalcReport(QIODevice &target, const Storm &storm, int precision, const TableRows &rows,
                     int timeFormat, const QByteArray &chartPng, const Separators &sep)
{
    FillWordTemplate(ReportTemplateName(), target, ReportEditStep(storm, precision, rows, timeFormat, sep),
                     ReportPictureStep(chartPng));
}

void WriteCalcReport(const FileTarget &target, const Storm &storm, int precision, const TableRows &rows,
                     int timeFormat, const QByteArray &chartPng, const Separators &sep)
{
    FillWordTemplate(ReportTemplateName(), target, ReportEditStep(storm, precision, rows, timeFormat, sep),
                     ReportPictureStep(chartPng));
}

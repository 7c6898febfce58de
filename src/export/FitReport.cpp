#include "export/FitReport.h"

#include "export/CsvExport.h"
#include "export/ExportTarget.h"
#include "export/ReportXml.h"
#include "export/WordTemplate.h"
#include "fit/BandTable.h"
#include "fit/FitTables.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

// The calculation report's picture part, which the fit report's chart replaces.

QString InputDescription(const FitSettings &s)
{
    if (s.input == FitInputKind::Table)
        return s.values == TableValueKind::Depth ? QStringLiteral("i–t–P表（各历时雨量，mm）")
                                                 : QStringLiteral("i–t–P表（雨强，mm/min）");
    QString text =
        QStringLiteral("样本序列（%1，%2）")
            .arg(SamplingMethodName(s.frequency.sampling), DistributionName(s.frequency.distribution));
    if (s.frequency.sampling == SamplingMethod::AnnualMultiple)
        text += QStringLiteral("，资料年数%1年%2")
                    .arg(s.frequency.years)
                    .arg(s.frequency.annualMaximumPeriods ? QStringLiteral("，重现期换算为年最大值法重现期")
                                                          : QString());
    return text;
}

QString Number(double value)
{
    return QString::number(value, 'g', 10);
}

// Comma-separated lines as a table: the first the header, the lines of its
// width the rows, any other line a paragraph after the table. The cells
// (line, column) in `marked` get a "*", which the notes after the table explain.
QString TableOfLines(const QStringList &lines, const std::vector<std::pair<int, int>> &marked = {})
{
    if (lines.isEmpty())
        return {};
    const QStringList header = SplitCsvLine(lines.front());
    QList<QStringList> rows;
    QString after;
    for (qsizetype k = 1; k < lines.size(); ++k) {
        QStringList cells = SplitCsvLine(lines[k]);
        if (cells.size() != header.size()) {
            after += ReportBody(lines[k]);
            continue;
        }
        for (const auto &[line, column] : marked)
            if (line == k && column < cells.size())
                cells[column] += u'*';
        rows.append(cells);
    }
    return ReportTable(header, rows) + after;
}

// The records the samples were taken from: what was read, each year, the
// samples and the peak ratio.
QString RecordsSection(const RecordsSummary &records)
{
    QString xml = ReportBody(QStringLiteral("降雨记录：") + records.read + QStringLiteral("。各年资料："));
    xml += TableOfLines(records.years);
    xml += ReportBody(QStringLiteral("样本（mm）："));
    xml += TableOfLines(records.samples, records.partialSamples);
    xml += ReportBody(QStringLiteral("雨峰位置：各历时样本窗口中最大时段所在位置与历时之比（峰值比例）："));
    xml += TableOfLines(records.peakRatio);
    return xml;
}

QString BandSectionTitle(const BootstrapResult &bands)
{
    return QStringLiteral("置信区间（%1）").arg(BandLevelText(bands.level));
}

// How sure the formula is: the resampling in words, the parameters' bands,
// the readings for design storms and every cell's band.
QString BandSection(const BootstrapResult &bands)
{
    QString xml =
        ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("六、") + BandSectionTitle(bands));
    xml += ReportBody(BootstrapSentence(bands));
    xml += ReportBody(QStringLiteral("参数的置信区间（相对半宽 = 区间宽度的一半 / 估计值）："));
    const FitResultTable parameters = ParameterBandTable(bands);
    xml += ReportTable(parameters.header, parameters.rows);
    const QStringList readings = DesignBandReadings(bands);
    if (!readings.isEmpty()) {
        xml += ReportBody(QStringLiteral("设计取值（公式雨强及其区间）："));
        for (const QString &reading : readings)
            xml += ReportBody(reading);
    }
    xml +=
        ReportBody(QStringLiteral("i–t–P表各格的置信区间（表中雨强为频率分析所得，公式雨强为总公式所得）："));
    const FitResultTable cells = BandTable(bands);
    xml += ReportTable(cells.header, cells.rows);
    return xml;
}

} // namespace

QStringList FitReportCsvLines(const FitOutcome &o, const BootstrapResult *bands)
{
    const auto line = [](const QStringList &cells) {
        QStringList quoted;
        for (const QString &cell : cells)
            quoted.append(CsvField(cell));
        return quoted.join(u',');
    };
    QStringList lines;
    lines << QStringLiteral("暴雨强度公式推求结果");
    lines << line({QStringLiteral("资料"), InputDescription(o.settings)});
    if (o.records) {
        lines << line({QStringLiteral("降雨记录"), o.records->read});
        for (const QStringList *part : {&o.records->years, &o.records->samples, &o.records->peakRatio})
            lines << QString() << *part;
        lines << QString();
    }
    lines << line({QStringLiteral("总公式"), FormulaText(o.total)});
    if (const auto refusal = ChicagoStormRefusal(o.total))
        lines << line({QStringLiteral("注意"), *refusal});
    lines << QStringLiteral("A1,") + Number(o.total.a1) << QStringLiteral("C,") + Number(o.total.c)
          << QStringLiteral("b,") + Number(o.total.b) << QStringLiteral("n,") + Number(o.total.n)
          << QStringLiteral("对数,") +
                 (o.total.log == Logarithm::Ln ? QStringLiteral("ln") : QStringLiteral("lg"))
          << QStringLiteral("残差平方和,") + QString::number(o.total.rss, 'g', 6);
    const auto table = [&lines, &line](const QString &title, const FitResultTable &t) {
        lines << QString() << title << line(t.header);
        for (const QStringList &row : t.rows)
            lines << line(row);
    };
    table(QStringLiteral("精度检验"), AccuracyTable(o));
    table(QStringLiteral("单一重现期公式 i=A/(t+b)^n"), PeriodFormulaTable(o));
    for (const QString &note : NonConvergedPeriodLines(o))
        lines << line({note});
    if (o.settings.input == FitInputKind::Samples)
        table(QStringLiteral("分布拟合优度（样本与频率曲线的均方根偏差，mm）"), GoodnessTable(o));
    lines << QString() << QStringLiteral("i–t–P表（mm/min）");
    lines << IntensityTableLines(o.table);
    if (bands) {
        lines << QString() << BandSectionTitle(*bands) << line({BootstrapSentence(*bands)});
        table(QStringLiteral("参数的置信区间"), ParameterBandTable(*bands));
        table(QStringLiteral("i–t–P表各格（mm/min）"), BandTable(*bands));
        const QStringList readings = DesignBandReadings(*bands);
        if (!readings.isEmpty()) {
            lines << QString() << QStringLiteral("设计取值");
            for (const QString &reading : readings)
                lines << line({reading});
        }
    }
    return lines;
}

void WriteFitReportCsv(const FileTarget &target, const FitOutcome &outcome, const BootstrapResult *bands)
{
    WriteFileBytes(target, EncodeLegacyLines(FitReportCsvLines(outcome, bands)));
}

QString FitReportDocument(const FitOutcome &o, const QString &sectionProperties, const BootstrapResult *bands)
{
    const QString logName = o.total.log == Logarithm::Ln ? QStringLiteral("ln") : QStringLiteral("lg");
    QString body;
    body += ReportParagraph(QStringLiteral("Title"), QStringLiteral("暴雨强度公式推求报告"));
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("一、资料与方法"));
    body += ReportBody(
        QStringLiteral("资料：") + InputDescription(o.settings) +
        QStringLiteral("；历时%1个，重现期%2个。").arg(o.table.durations.size()).arg(o.table.periods.size()));
    if (o.records)
        body += RecordsSection(*o.records);
    if (o.settings.input == FitInputKind::Samples)
        body += ReportBody(
            QStringLiteral("频率分析：各历时样本从大到小排列，经验频率按期望值公式 P=m/(n+1) "
                           "计算；皮尔逊III型分布以矩法估计为初值，"
                           "在偏态系数Cs上搜索，使排序样本与理论频率曲线的离差平方和最小（适线法）；耿贝"
                           "尔分布和指数分布按矩法估计参数。"
                           "年多个样法的重现期按 T_M = 1/(1 − e^(−1/T_E)) 与年最大值法重现期换算。"));
    body += ReportBody(
        QStringLiteral(
            "公式拟合：以雨强的最小二乘为准则。对给定的b和n，总公式对A1与A1·C是线性的，直接求解；在b和n"
            "上搜索后，"
            "再用Levenberg–Marquardt法同时修正A1、C、b、n四个参数。单一重现期公式 i=A/(t+b)^n 同样求解。"
            "总公式采用%1P。")
            .arg(logName));
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("二、拟合结果"));
    body += ReportBody(QStringLiteral("总公式：") + FormulaText(o.total));
    if (const auto refusal = ChicagoStormRefusal(o.total))
        body += ReportBody(QStringLiteral("注意：") + *refusal);
    body += ReportTable({QStringLiteral("参数"), QStringLiteral("数值")},
                        {{QStringLiteral("A1"), Number(o.total.a1)},
                         {QStringLiteral("C"), Number(o.total.c)},
                         {QStringLiteral("b"), Number(o.total.b)},
                         {QStringLiteral("n"), Number(o.total.n)},
                         {QStringLiteral("残差平方和"), QString::number(o.total.rss, 'g', 6)}});
    body += ReportBody(QStringLiteral("单一重现期公式 i=A/(t+b)^n："));
    {
        const FitResultTable t = PeriodFormulaTable(o);
        body += ReportTable(t.header, t.rows);
        for (const QString &note : NonConvergedPeriodLines(o))
            body += ReportBody(note);
    }
    if (o.settings.input == FitInputKind::Samples) {
        body += ReportBody(QStringLiteral("分布拟合优度（样本与频率曲线的均方根偏差，mm）："));
        {
            const FitResultTable t = GoodnessTable(o);
            body += ReportTable(t.header, t.rows);
        }
    }
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("三、精度检验"));
    body += ReportBody(QStringLiteral(
        "平均绝对均方差 σ = √(Σ(i公式 − i表)²/m)，平均相对均方差 = σ / i表的平均值，m为历时个数。"
        "重现期2~20年时，平均绝对均方差不宜大于0.05mm/min；在强度较大的地方，平均相对均方差不宜大于5%。"
        "两项之一满足即为合格；此范围以外的重现期不考核。"));
    {
        const FitResultTable t = AccuracyTable(o);
        body += ReportTable(t.header, t.rows);
    }
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("四、拟合曲线"));
    body += ReportPicture(QStringLiteral("暴雨强度公式拟合曲线图"));
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("五、i–t–P表（mm/min）"));
    // Narrow columns: the periods alone in the header, three decimals in the cells.
    QStringList header{QStringLiteral("t(min)\\P(a)")};
    for (double p : o.table.periods)
        header << Number(p);
    QList<QStringList> rows;
    for (size_t d = 0; d < o.table.durations.size(); ++d) {
        QStringList row{Number(o.table.durations[d])};
        for (size_t p = 0; p < o.table.periods.size(); ++p)
            row << QString::number(o.table.at(d, p), 'f', 3);
        rows.append(row);
    }
    body += ReportTable(header, rows);
    if (bands)
        body += BandSection(*bands);
    return ReportMainDocument(body, sectionProperties);
}

void WriteFitReportDocx(const FileTarget &target, const FitOutcome &outcome, const QByteArray &chartPng,
                        const BootstrapResult *bands)
{
    const auto edit = [&outcome, &chartPng, bands](const QString &document, const QString &) {
        static const QRegularExpression section(QStringLiteral("<w:sectPr>.*</w:sectPr>"),
                                                QRegularExpression::DotMatchesEverythingOption);
        QString text = FitReportDocument(outcome, section.match(document).captured(), bands);
        if (chartPng.isEmpty()) {
            const qsizetype start =
                text.indexOf(QStringLiteral("<w:p><w:pPr><w:pStyle w:val=\"BodyText\"/><w:jc "
                                            "w:val=\"center\"/></w:pPr><w:r><w:drawing>"));
            const QString end = QStringLiteral("</w:drawing></w:r></w:p>");
            text.remove(start, text.indexOf(end, start) + end.size() - start);
        }
        return text;
    };
    FillWordTemplate(ReportTemplateName(), target, edit, ReportPictureStep(chartPng));
}

QString FitReportProposedName()
{
    return QStringLiteral("暴雨强度公式推求报告.docx");
}

#include "CalcReport.h"

#include "export/CsvExport.h"
#include "export/ExportTarget.h"
#include "export/ReportXml.h"
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
                            const Separators &sep, bool withPicture)
{
    if (storm.kind == StormKind::Long)
        return [&storm, precision, &rows, timeFormat, &sep, withPicture](const QString &document,
                                                                         const QString &) {
            return LongStormReportDocument(document, storm, precision, rows, timeFormat, withPicture, sep);
        };
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

// A depth in mm as the long-duration report gives it.
QString Mm(double depth, const Separators &sep)
{
    return GeneralNumber(RoundToShown(2, depth), sep);
}

QString MethodParagraphs(const LongStormProfile &p)
{
    if (p.method == LongStormMethod::SameFrequency)
        return ReportBody(QStringLiteral(
                   "同频率放大法：从降雨记录中选取典型暴雨，以其最大的 d₁ 时段为核心，逐级取包含前一时段、"
                   "雨量最大的 d 时段，构成嵌套时段 d₁ < d₂ < … < dₖ = D。相邻两个嵌套时段之差为一环，"
                   "每环按同频率放大：")) +
               ReportBody(QStringLiteral("K₁ = H_P(d₁) / h(d₁)，K_j = [H_P(d_j) − H_P(d_{j−1})] / "
                                         "[h(d_j) − h(d_{j−1})]（j = 2, …, k）")) +
               ReportBody(QStringLiteral(
                   "式中：H_P(d)——重现期 P、历时 d 的设计雨量，mm；h(d)——典型暴雨第 d 嵌套时段的雨量，mm；"
                   "K_j——第 j 环的放大倍比。环内各时段雨量乘以该环的放大倍比，于是设计雨型每个嵌套时段的雨量"
                   "都等于该历时的设计雨量 "
                   "H_P(d)。典型暴雨在某环内无雨时，该环的设计雨量均匀分配到环内各时段。"));
    return ReportBody(QStringLiteral(
               "平均变率法（Pilgrim–Cordery）：选取多场 D 分钟暴雨，各分为 D/Δt 个时段。每场暴雨的时段按雨量"
               "从大到小排定名次（1 为最大，雨量相等取较早者），各位置的名次取平均；每场暴雨按名次的时段"
               "雨量占该场总雨量的百分比取平均。平均名次第 k 小的位置取第 k 大的平均百分比，得到雨型 "
               "p_i（%，合计 100）。")) +
           ReportBody(QStringLiteral("h_i = p_i / 100 × H_P(D)")) +
           ReportBody(QStringLiteral("式中：h_i——设计雨型第 i 时段的雨量，mm；H_P(D)——重现期 P、历时 D "
                                     "的设计雨量，mm。"));
}

QString SourceText(const LongStormProfile &p)
{
    if (p.source == DesignDepthSource::Formula)
        return QStringLiteral("各历时设计雨量由暴雨强度公式 %1 计算：H_P(d) = i(d, P) × d。").arg(p.formula);
    return QStringLiteral("各历时设计雨量由降雨记录的样本频率分析得到（%1，%2），H_P(d) = i(d, P) × d。")
        .arg(p.sampling, p.distribution);
}

QString YearsText(const LongStormProfile &p)
{
    if (p.years.empty())
        return QStringLiteral("使用的年份：无");
    return QStringLiteral("使用的年份：%1 年（%2—%3），年份记录完整率下限 %4%。")
        .arg(p.years.size())
        .arg(p.years.front())
        .arg(p.years.back())
        .arg(p.minCompleteness, 0, 'g', 6);
}

QString StormsText(const Storm &storm)
{
    const LongStormProfile &p = storm.longProfile;
    if (p.method == LongStormMethod::SameFrequency)
        return QStringLiteral("典型暴雨：%1 开始的 %2 分钟降雨，雨量 %3 mm（%4）。")
            .arg(p.typicalStart, GeneralNumber(storm.duration), Mm(p.typicalDepth, {}),
                 p.typicalChosen ? QStringLiteral("由用户指定")
                                 : QStringLiteral("各使用年份最大暴雨中最大的一场"));
    QString text =
        QStringLiteral("统计暴雨：%1 场 %2 分钟暴雨的平均雨型").arg(p.stormsAveraged).arg(storm.duration);
    if (p.stormsSkipped > 0)
        text += QStringLiteral("（另有 %1 场总雨量为 0，未参与统计）").arg(p.stormsSkipped);
    return text + u'。';
}

} // namespace

QString LongStormReportDocument(const QString &templateDocument, const Storm &storm, int precision,
                                const TableRows &rows, int timeFormat, bool withPicture,
                                const Separators &sep)
{
    const LongStormProfile &p = storm.longProfile;
    const bool sameFrequency = p.method == LongStormMethod::SameFrequency;
    QString body;
    body += ReportParagraph(QStringLiteral("Title"), QStringLiteral("长历时雨型计算书"));
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("一、计算方法"));
    body += ReportBody(QStringLiteral("雨型：%1。").arg(LongStormMethodName(p.method)));
    body += MethodParagraphs(p);
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("二、基本资料"));
    body += ReportTable(
        {QStringLiteral("项目"), QStringLiteral("数值")},
        {{QStringLiteral("设计重现期 P"), GeneralNumber(storm.period, sep) + QStringLiteral(" 年")},
         {QStringLiteral("降雨历时 D"), GeneralNumber(storm.duration, sep) + QStringLiteral(" 分钟")},
         {QStringLiteral("时段 Δt"), QString::number(storm.step) + QStringLiteral(" 分钟")},
         {QStringLiteral("雨型方法"), LongStormMethodName(p.method)},
         {QStringLiteral("设计雨量来源"), DesignDepthSourceName(p.source)}});
    body += ReportBody(QStringLiteral("降雨记录：") + p.records + u'。');
    body += ReportBody(YearsText(p));
    body += ReportBody(StormsText(storm));
    body += ReportBody(SourceText(p));

    body +=
        ReportParagraph(QStringLiteral("Heading1"), sameFrequency ? QStringLiteral("三、设计雨量与放大倍比")
                                                                  : QStringLiteral("三、各历时设计雨量"));
    QStringList header{QStringLiteral("历时d(min)"), QStringLiteral("设计雨量H_P(d)(mm)")};
    if (sameFrequency)
        header << QStringLiteral("典型暴雨h(d)(mm)") << QStringLiteral("放大倍比K");
    header << QStringLiteral("设计雨型最大d时段雨量(mm)");
    QList<QStringList> nestedRows;
    for (const NestedDesignDepth &d : p.nested) {
        QStringList cells{QString::number(d.duration), Mm(d.design, sep)};
        if (sameFrequency)
            cells << (d.typical ? Mm(*d.typical, sep) : QString())
                  << (d.scale ? GeneralNumber(RoundToShown(4, *d.scale), sep) : QStringLiteral("均匀分配"));
        cells << Mm(d.design + d.excess, sep);
        nestedRows.append(cells);
    }
    body += ReportTable(header, nestedRows);
    body += ReportBody(sameFrequency ? QStringLiteral("设计雨型的各嵌套时段雨量等于该历时的设计雨量；"
                                                      "最大 d 时段雨量大于设计雨量时见说明。")
                                     : QStringLiteral("设计雨型的总雨量等于 H_P(D)；最大 d 时段雨量大于"
                                                      "该历时设计雨量时见说明。"));

    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("四、时程分配"));
    body += ReportBody(sameFrequency
                           ? QStringLiteral("典型暴雨各时段雨量占其总雨量的百分比与设计雨型各时段雨量：")
                           : QStringLiteral("平均雨型 p_i 与设计雨型各时段雨量："));
    QList<QStringList> patternRows;
    for (size_t k = 0; k < p.depths.size(); ++k) {
        const auto minute = static_cast<int64_t>(k) * storm.step;
        patternRows.append(
            {QString::number(k + 1), timeFormat == 1 ? MinuteTime(minute) : ClockTime(minute, sep),
             k < p.pattern.size() ? GeneralNumber(RoundToShown(3, p.pattern[k]), sep) : QString(),
             GeneralNumber(RoundToShown(3, p.depths[k]), sep)});
    }
    body +=
        ReportTable({QStringLiteral("时段"), TimeColumnHeading(timeFormat).value_or(QStringLiteral("时间")),
                     sameFrequency ? QStringLiteral("典型暴雨占比(%)") : QStringLiteral("雨型p(%)"),
                     QStringLiteral("设计雨量(mm)")},
                    patternRows);

    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("五、说明"));
    for (const QString &note : p.notes)
        body += ReportBody(note + u'。');

    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("六、雨型图"));
    body += ReportPicture(QStringLiteral("长历时雨型图"));
    body += ReportParagraph(QStringLiteral("Heading1"), QStringLiteral("七、计算结果"));
    QList<QStringList> dataRows;
    dataRows.reserve(rows.size());
    for (const TableRow &row : rows)
        dataRows.append({row[0], row[1], row[2]});
    body += ReportTable({TimeColumnHeading(timeFormat).value_or(QStringLiteral("时间(min)")),
                         QStringLiteral("降雨强度(mm/min)"), QStringLiteral("降雨总量(mm)")},
                        dataRows);
    body += ReportBody(QStringLiteral("累计降雨总量 H = %1 mm，平均降雨强度 i = %2 mm/min，设计雨量 H_P(D) = "
                                      "%3 mm（%4）。")
                           .arg(GeneralNumber(RoundToShown(precision, storm.totalDepth), sep),
                                GeneralNumber(RoundToShown(precision, storm.averageIntensity), sep),
                                GeneralNumber(RoundToShown(precision, LongStormDesignDepth(storm)), sep),
                                DesignDepthSourceName(p.source)));
    return ReportDocument(body, templateDocument, withPicture);
}

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
    FillWordTemplate(ReportTemplateName(), target,
                     ReportEditStep(storm, precision, rows, timeFormat, sep, !chartPng.isEmpty()),
                     ReportPictureStep(chartPng));
}

void WriteCalcReport(const FileTarget &target, const Storm &storm, int precision, const TableRows &rows,
                     int timeFormat, const QByteArray &chartPng, const Separators &sep)
{
    FillWordTemplate(ReportTemplateName(), target,
                     ReportEditStep(storm, precision, rows, timeFormat, sep, !chartPng.isEmpty()),
                     ReportPictureStep(chartPng));
}

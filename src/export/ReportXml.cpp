#include "export/ReportXml.h"

#include <QRegularExpression>

QString ReportParagraph(const QString &style, const QString &text)
{
    return QStringLiteral(
               "<w:p><w:pPr><w:pStyle w:val=\"%1\"/></w:pPr><w:r><w:t xml:space=\"preserve\">%2</w:t>"
               "</w:r></w:p>")
        .arg(style, text.toHtmlEscaped());
}

QString ReportBody(const QString &text)
{
    return ReportParagraph(QStringLiteral("BodyText"), text);
}

QString ReportTable(const QStringList &header, const QList<QStringList> &rows)
{
    const int width = 8000 / int(header.size());
    const bool wide = header.size() > 6;
    const QString small = wide ? QStringLiteral("<w:sz w:val=\"16\"/>") : QString();
    QString xml =
        QStringLiteral("<w:tbl><w:tblPr><w:tblStyle w:val=\"TableGrid\"/><w:tblW w:w=\"8000\" "
                       "w:type=\"dxa\"/><w:jc w:val=\"center\"/><w:tblLayout w:type=\"fixed\"/>%1</w:tblPr>"
                       "<w:tblGrid>")
            .arg(wide ? QStringLiteral("<w:tblCellMar><w:left w:w=\"40\" w:type=\"dxa\"/><w:right w:w=\"40\" "
                                       "w:type=\"dxa\"/></w:tblCellMar>")
                      : QString());
    for (qsizetype c = 0; c < header.size(); ++c)
        xml += QStringLiteral("<w:gridCol w:w=\"%1\"/>").arg(width);
    xml += QStringLiteral("</w:tblGrid>");
    const auto row = [width, &small](const QStringList &cells, bool head) {
        QString r = head ? QStringLiteral("<w:tr><w:trPr><w:tblHeader/></w:trPr>") : QStringLiteral("<w:tr>");
        for (const QString &cell : cells) {
            r += QStringLiteral(
                     "<w:tc><w:tcPr><w:tcW w:w=\"%1\" w:type=\"dxa\"/>%2</w:tcPr><w:p><w:pPr><w:pStyle "
                     "w:val=\"BodyText\"/><w:jc w:val=\"center\"/></w:pPr><w:r>%3<w:t>%4</w:t></w:r>"
                     "</w:p></w:tc>")
                     .arg(width)
                     .arg(head ? QStringLiteral("<w:shd w:val=\"clear\" w:color=\"auto\" w:fill=\"E0E0E0\"/>")
                               : QString(),
                          QStringLiteral("<w:rPr>%1%2</w:rPr>")
                              .arg(head ? QStringLiteral("<w:b/>") : QString(), small),
                          cell.toHtmlEscaped());
        }
        return r + QStringLiteral("</w:tr>");
    };
    xml += row(header, true);
    for (const QStringList &cells : rows)
        xml += row(cells, false);
    return xml + QStringLiteral("</w:tbl>");
}

QString ReportPicture(const QString &description)
{
    // 146.3 mm × 105.8 mm, the frame of the calculation report's chart.
    return QStringLiteral(
               "<w:p><w:pPr><w:pStyle w:val=\"BodyText\"/><w:jc w:val=\"center\"/></w:pPr><w:r><w:drawing>"
               "<wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\"><wp:extent cx=\"5267325\" "
               "cy=\"3810000\"/>"
               "<wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/><wp:docPr id=\"1\" name=\"图片 1\" "
               "descr=\"%1\"/><wp:cNvGraphicFramePr><a:graphicFrameLocks noChangeAspect=\"1\"/>"
               "</wp:cNvGraphicFramePr><a:graphic><a:graphicData "
               "uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
               "picture\"><pic:pic><pic:nvPicPr><pic:cNvPr "
               "id=\"0\" name=\"image9.png\"/><pic:cNvPicPr/></pic:nvPicPr><pic:blipFill><a:blip "
               "r:embed=\"rId8\"/>"
               "<a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr><a:xfrm><a:off x=\"0\" "
               "y=\"0\"/><a:ext "
               "cx=\"5267325\" cy=\"3810000\"/></a:xfrm><a:prstGeom "
               "prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
               "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r></w:p>")
        .arg(description.toHtmlEscaped());
}

QString ReportDocument(const QString &body, const QString &templateDocument, bool withPicture)
{
    static const QRegularExpression section(QStringLiteral("<w:sectPr>.*</w:sectPr>"),
                                            QRegularExpression::DotMatchesEverythingOption);
    QString text = body;
    if (!withPicture) {
        const QString begin = QStringLiteral("<w:p><w:pPr><w:pStyle w:val=\"BodyText\"/><w:jc "
                                             "w:val=\"center\"/></w:pPr><w:r><w:drawing>");
        const QString end = QStringLiteral("</w:drawing></w:r></w:p>");
        for (qsizetype start = text.indexOf(begin); start >= 0; start = text.indexOf(begin))
            text.remove(start, text.indexOf(end, start) + end.size() - start);
    }
    return ReportMainDocument(text, section.match(templateDocument).captured());
}

QString ReportMainDocument(const QString &body, const QString &sectionProperties)
{
    return QStringLiteral(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document "
               "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
               "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
               "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
               "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\" "
               "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>") +
           body + sectionProperties + QStringLiteral("</w:body></w:document>");
}

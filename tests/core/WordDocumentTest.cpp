// The Word exports read back with code of their own: the package unzipped
// with libzip (and its central directory read by hand), the XML parsed with
// QXmlStreamReader.
#include "export/CalcReport.h"
#include "export/DataDocument.h"
#include "export/WordTemplate.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"
#include "model/RainGenerator.h"
#include "model/ShownTexts.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <zip.h>

namespace {

const QString W = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString M = QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/math");

// ---- the package --------------------------------------------------------

struct Entry
{
    QByteArray bytes;
    int method = -1; // from the central directory
    int flags = 0;   // general purpose bits
    time_t modified = 0;
};

struct Package
{
    QStringList names; // in archive order
    QMap<QString, Entry> entries;

    QByteArray part(const QString &name) const { return entries.value(name).bytes; }
};

quint32 Le(const QByteArray &b, qsizetype at, int size)
{
    quint32 v = 0;
    for (int i = size - 1; i >= 0; --i)
        v = (v << 8) | quint8(b.at(at + i));
    return v;
}

// Method and flags of every entry, straight from the central directory.
QMap<QString, std::pair<int, int>> CentralDirectory(const QByteArray &zip)
{
    QMap<QString, std::pair<int, int>> out;
    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0)
        return out;
    const quint32 count = Le(zip, end + 10, 2);
    qsizetype at = Le(zip, end + 16, 4);
    for (quint32 i = 0; i < count && at + 46 <= zip.size(); ++i) {
        if (Le(zip, at, 4) != 0x02014b50)
            break;
        const int flags = int(Le(zip, at + 8, 2));
        const int method = int(Le(zip, at + 10, 2));
        const quint32 nameLength = Le(zip, at + 28, 2);
        const QString name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        out.insert(name, {method, flags});
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    }
    return out;
}

Package ReadPackage(const QByteArray &zip)
{
    Package package;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t *source = zip_source_buffer_create(zip.constData(), zip_uint64_t(zip.size()), 0, &error);
    zip_t *archive = source ? zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error) : nullptr;
    if (!archive) {
        zip_source_free(source);
        ADD_FAILURE() << "not a ZIP archive: " << zip_error_strerror(&error);
        return package;
    }
    const auto central = CentralDirectory(zip);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, zip_uint64_t(i), 0, &stat);
        const QString name = QString::fromUtf8(stat.name);
        Entry entry;
        entry.modified = stat.mtime;
        entry.method = central.value(name, {-1, 0}).first;
        entry.flags = central.value(name, {-1, 0}).second;
        entry.bytes.resize(qsizetype(stat.size));
        zip_file_t *file = zip_fopen_index(archive, zip_uint64_t(i), 0);
        EXPECT_NE(file, nullptr) << name.toStdString();
        if (file) {
            EXPECT_EQ(zip_fread(file, entry.bytes.data(), stat.size), zip_int64_t(stat.size));
            zip_fclose(file);
        }
        package.names.append(name);
        package.entries.insert(name, entry);
    }
    zip_discard(archive);
    return package;
}

Package ReadPackageFile(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return ReadPackage(file.readAll());
}

// ---- the XML ------------------------------------------------------------

struct WordText
{
    QString error;                    // empty when well-formed
    QStringList paragraphs;           // every w:p, its w:t texts joined, tables included
    QList<QList<QStringList>> tables; // table, row, cell texts
    QStringList comments;
    int mathCount = 0; // m:oMath elements
};

WordText ParseWord(const QByteArray &xml)
{
    WordText out;
    QXmlStreamReader reader(xml);
    int tableDepth = 0;
    QString paragraph;
    QString cell;
    bool inText = false;
    bool inParagraph = false;
    while (!reader.atEnd()) {
        reader.readNext();
        const bool isW = reader.namespaceUri() == W;
        const auto name = reader.name();
        if (reader.isStartElement()) {
            if (isW && name == u"tbl") {
                if (++tableDepth == 1)
                    out.tables.append(QList<QStringList>());
            } else if (isW && name == u"tr" && tableDepth == 1) {
                out.tables.last().append(QStringList());
            } else if (isW && name == u"tc" && tableDepth == 1) {
                cell.clear();
            } else if (isW && name == u"p") {
                inParagraph = true;
                paragraph.clear();
            } else if (isW && name == u"t") {
                inText = true;
            } else if (reader.namespaceUri() == M && name == u"oMath") {
                ++out.mathCount;
            }
        } else if (reader.isEndElement()) {
            if (isW && name == u"tbl") {
                --tableDepth;
            } else if (isW && name == u"tc" && tableDepth == 1) {
                out.tables.last().last().append(cell);
            } else if (isW && name == u"p") {
                inParagraph = false;
                out.paragraphs.append(paragraph);
                if (tableDepth == 1)
                    cell += paragraph;
            } else if (isW && name == u"t") {
                inText = false;
            }
        } else if (reader.isCharacters() && inText && inParagraph) {
            paragraph += reader.text();
        } else if (reader.isComment()) {
            out.comments.append(reader.text().toString());
        }
    }
    if (reader.hasError())
        out.error = reader.errorString();
    return out;
}

// Attribute values of every element with this local name, in document order.
QStringList Attributes(const QByteArray &xml, QStringView element, QStringView attribute)
{
    QStringList values;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == element) {
            for (const QXmlStreamAttribute &a : reader.attributes()) {
                if (a.name() == attribute)
                    values.append(a.value().toString());
            }
        }
    }
    EXPECT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    return values;
}

// The row template, a fragment without namespace declarations, parsed in
// the namespace context of the main document.
WordText ParseRowTemplate(const QByteArray &fragment)
{
    return ParseWord("<w:tbl xmlns:w=\"" + W.toUtf8() + "\">" + fragment + "</w:tbl>");
}

// Every package holds what a word processor needs to find its parts: each
// declared override and each internal relationship target exists, every
// entry is a Deflate entry at the normal level with a fresh time, and there
// are no folder entries.
void ExpectSoundPackage(const Package &package, const QStringList &expectedParts)
{
    QStringList sortedNames = package.names;
    sortedNames.sort();
    QStringList sortedExpected = expectedParts;
    sortedExpected.sort();
    EXPECT_EQ(sortedNames, sortedExpected);
    ASSERT_FALSE(package.names.isEmpty());
    EXPECT_EQ(package.names.first(), QStringLiteral("[Content_Types].xml"));

    const time_t now = QDateTime::currentSecsSinceEpoch();
    for (auto it = package.entries.cbegin(); it != package.entries.cend(); ++it) {
        const std::string name = it.key().toStdString();
        EXPECT_FALSE(it.key().endsWith(u'/')) << name;
        EXPECT_EQ(it->method, 8) << name;      // Deflate
        EXPECT_EQ(it->flags & 0x6, 0) << name; // normal level, zlib's default
        EXPECT_LT(std::abs(double(it->modified - now)), 24 * 3600.0) << name;
        if (it.key().endsWith(u".xml") && it.key() != u"word/TableRow.xml") {
            EXPECT_TRUE(ParseWord(it->bytes).error.isEmpty()) << name;
        }
    }

    for (const QString &part : Attributes(package.part("[Content_Types].xml"), u"Override", u"PartName"))
        EXPECT_TRUE(package.entries.contains(part.mid(1))) << part.toStdString();
    for (const QString &rels : package.names) {
        if (!rels.endsWith(u".rels"))
            continue;
        // "word/_rels/document.xml.rels" relates from "word/".
        const QString base = rels.left(rels.indexOf(QStringLiteral("_rels/")));
        const QByteArray xml = package.part(rels);
        const QStringList targets = Attributes(xml, u"Relationship", u"Target");
        const QStringList modes = Attributes(xml, u"Relationship", u"TargetMode");
        EXPECT_TRUE(modes.isEmpty()) << rels.toStdString();
        for (const QString &target : targets) {
            const QString part = QDir::cleanPath(base + target);
            EXPECT_TRUE(package.entries.contains(part)) << rels.toStdString() << " -> " << part.toStdString();
        }
    }
}

const QStringList DataParts = {
    "[Content_Types].xml",      "_rels/.rels",
    "docProps/app.xml",         "docProps/core.xml",
    "docProps/custom.xml",      "customXml/item1.xml",
    "customXml/itemProps1.xml", "customXml/_rels/item1.xml.rels",
    "word/document.xml",        "word/_rels/document.xml.rels",
    "word/styles.xml",          "word/stylesWithEffects.xml",
    "word/settings.xml",        "word/webSettings.xml",
    "word/fontTable.xml",       "word/theme/theme1.xml",
    "word/TableRow.xml",
};

const QStringList ReportParts = {
    "[Content_Types].xml",
    "_rels/.rels",
    "docProps/app.xml",
    "docProps/core.xml",
    "docProps/custom.xml",
    "word/document.xml",
    "word/_rels/document.xml.rels",
    "word/_rels/settings.xml.rels",
    "word/TableRow.xml",
    "word/media/image9.png",
    "word/footer1.xml",
    "word/footnotes.xml",
    "word/endnotes.xml",
    "word/fontTable.xml",
    "word/settings.xml",
    "word/styles.xml",
    "word/stylesWithEffects.xml",
    "word/theme/theme1.xml",
    "word/webSettings.xml",
};

const QStringList HeaderRow = {"时间(min)", "降雨强度(mm/min)", "降雨总量(mm)"};

QList<QStringList> AsRows(const TableRows &rows)
{
    QList<QStringList> out;
    for (const auto &row : rows)
        out.append({row[0], row[1], row[2]});
    return out;
}

QByteArray DataDocumentBytes(const TableRows &rows)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteDataDocument(buffer, rows, 1);
    return buffer.data();
}

// A folder's entries, recursively, for "nothing was left behind" checks.
QStringList Listing(const QString &folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(folder).relativeFilePath(it.next()));
    names.sort();
    return names;
}

// Points the system's temporary folder at a folder of the test's own, so
// that a test sees every working folder an export leaves behind.
class PrivateTempFolder
{
public:
    PrivateTempFolder() : m_previous(qgetenv("TMPDIR"))
    {
        QDir(m_root.path()).mkdir("tmp");
        qputenv("TMPDIR", path().toLocal8Bit());
    }
    ~PrivateTempFolder() { qputenv("TMPDIR", m_previous); }
    QString path() const { return m_root.filePath("tmp"); }

private:
    QTemporaryDir m_root;
    QByteArray m_previous;
};

// ---- the templates ------------------------------------------------------

TEST(WordTemplates, DataTemplateHasTheTableTheSectionAndTheRowTemplate)
{
    const Package package = ReadPackage(WordTemplatePackage("calcdata")); // names ignore letter case
    const QByteArray document = package.part("word/document.xml");
    const QString text = QString::fromUtf8(document);

    EXPECT_EQ(Attributes(document, u"gridCol", u"w"), QStringList({"2000", "3000", "3000"}));
    EXPECT_EQ(Attributes(document, u"shd", u"fill"), QStringList({"E0E0E0", "E0E0E0", "E0E0E0"}));
    EXPECT_EQ(text.count(TableRowsPlaceholder()), 1);
    EXPECT_TRUE(text.contains("</w:tr>" + TableRowsPlaceholder() + "</w:tbl>"));
    EXPECT_EQ(Attributes(document, u"pgSz", u"w"), QStringList("11906"));
    EXPECT_EQ(Attributes(document, u"pgSz", u"h"), QStringList("16838"));
    for (const auto &[attribute, value] :
         std::initializer_list<std::pair<const char16_t *, const char *>>{{u"top", "1440"},
                                                                          {u"bottom", "1440"},
                                                                          {u"left", "1800"},
                                                                          {u"right", "1800"},
                                                                          {u"header", "851"},
                                                                          {u"footer", "992"}})
        EXPECT_EQ(Attributes(document, u"pgMar", attribute), QStringList(value));
    const WordText parsed = ParseWord(document);
    ASSERT_EQ(parsed.tables.size(), 1);
    EXPECT_EQ(parsed.tables[0], QList<QStringList>({HeaderRow}));
}

TEST(WordTemplates, RowTemplatesHoldOneRowOfThreeCellsEachWithPercentS)
{
    for (const QString name : {"CalcData", "CalcBook"}) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray fragment = ReadPackage(WordTemplatePackage(name)).part("word/TableRow.xml");
        EXPECT_FALSE(fragment.startsWith("<?xml"));
        EXPECT_EQ(fragment.count('%'), 3);
        const WordText parsed = ParseRowTemplate(fragment);
        ASSERT_TRUE(parsed.error.isEmpty()) << parsed.error.toStdString();
        ASSERT_EQ(parsed.tables.size(), 1);
        EXPECT_EQ(parsed.tables[0], QList<QStringList>({{"%s", "%s", "%s"}}));
        EXPECT_EQ(Attributes("<w:tbl xmlns:w=\"" + W.toUtf8() + "\">" + fragment + "</w:tbl>", u"tcW", u"w"),
                  QStringList({"2000", "3000", "3000"}));
    }
}

TEST(WordTemplates, UnknownTemplateIsRefused)
{
    EXPECT_THROW(WordTemplatePackage("CalcNothing"), PluvionError);
}

// ---- the data document --------------------------------------------------

TEST(DataDocument, HoldsTheGridDataRowsAsTheTableShowsThem)
{
    const TableRows rows = {
        {"00:00", "0.1908", "0.1908"},
        {"00:47", "2.2752", "22.6355"},          // clock times under the fixed "时间(min)" header
        {"48", "峰值 <3.36> & more", "25.9954"}, // a user's edit, markup characters included
        {"49", " 2.5522 ", "a\x01z"},            // blanks kept; a control character XML cannot hold dropped
    };
    const Package package = ReadPackage(DataDocumentBytes(rows));
    ExpectSoundPackage(package, DataParts);

    const WordText document = ParseWord(package.part("word/document.xml"));
    ASSERT_TRUE(document.error.isEmpty()) << document.error.toStdString();
    EXPECT_TRUE(document.comments.isEmpty());
    ASSERT_EQ(document.tables.size(), 1);
    QList<QStringList> expected = {HeaderRow};
    expected += AsRows(rows);
    expected.last()[2] = "az";
    EXPECT_EQ(document.tables[0], expected);

    // The row template travels unchanged.
    EXPECT_EQ(package.part("word/TableRow.xml"),
              ReadPackage(WordTemplatePackage("CalcData")).part("word/TableRow.xml"));
}

TEST(DataDocument, WithoutRowsTheTableHasOnlyItsHeader)
{
    const WordText document = ParseWord(ReadPackage(DataDocumentBytes({})).part("word/document.xml"));
    ASSERT_TRUE(document.error.isEmpty());
    ASSERT_EQ(document.tables.size(), 1);
    EXPECT_EQ(document.tables[0], QList<QStringList>({HeaderRow}));
    EXPECT_TRUE(document.comments.isEmpty());
}

TEST(DataDocument, NamesFollowTheDialogRules)
{
    const Storm storm = StartUpStorm();
    EXPECT_EQ(DataDocumentProposedName(storm), QStringLiteral("芝加哥雨型计算数据 P=2年 T=120分 R=0.4.docx"));
    EXPECT_EQ(CalcReportProposedName(storm), QStringLiteral("雨型计算书 P=2年 T=120分 R=0.4.docx"));
    EXPECT_EQ(CalcReportProposedName(storm, Separators{u',', u':'}),
              QStringLiteral("雨型计算书 P=2年 T=120分 R=0,4.docx"));

    const std::pair<const char *, const char *> paths[] = {
        {"report.doc", "report.docx"},     {"report", "report.docx"}, {"数据.csv", "数据.docx"},
        {"a.b/report", "a.b/report.docx"}, {"x.y.docx", "x.y.docx"},  {"/tmp/report.", "/tmp/report.docx"},
    };
    for (const auto &[chosen, target] : paths)
        EXPECT_EQ(WordDocumentPath(QString::fromUtf8(chosen)), QString::fromUtf8(target)) << chosen;
}

// ---- writing files ------------------------------------------------------

TEST(WordFiles, ReplacesAnExistingTargetAndLeavesNothingBehind)
{
    QTemporaryDir folder;
    PrivateTempFolder temp;
    const QString target = folder.filePath("数据.docx");
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("an older document");
    }
    WriteDataDocument(target, {{"00", "1", "1"}}, 1);

    const WordText document = ParseWord(ReadPackageFile(target).part("word/document.xml"));
    ASSERT_EQ(document.tables.size(), 1);
    EXPECT_EQ(document.tables[0].size(), 2);
    EXPECT_EQ(Listing(folder.path()), QStringList("数据.docx"));
    EXPECT_TRUE(Listing(temp.path()).isEmpty()); // the working folder is gone
}

TEST(WordFiles, TargetThatCannotBeReplacedIsNamedAndNothingIsLeft)
{
    QTemporaryDir folder;
    PrivateTempFolder temp;
    // A folder with something in it where the document should go: no rename
    // can put a file in its place, whoever runs the test.
    const QString target = folder.filePath("计算书.docx");
    ASSERT_TRUE(QDir(folder.path()).mkpath("计算书.docx/inside"));
    const QStringList before = Listing(folder.path());

    try {
        WriteCalcReport(target, StartUpStorm(), 4, {}, 1, QByteArray("png"));
        FAIL() << "no error";
    } catch (const PluvionError &e) {
        // The real reason, as the other exports give it.
        EXPECT_TRUE(e.description().startsWith(CannotCreateFileMessage(target, {}))) << e.what();
    }
    EXPECT_EQ(Listing(folder.path()), before);
    EXPECT_TRUE(Listing(temp.path()).isEmpty());
}

TEST(WordFiles, FailuresLeaveNoWorkingFolderAndNoFile)
{
    QTemporaryDir folder;
    PrivateTempFolder temp;
    const QString target = folder.filePath("out.docx");

    // A step that fails after the package was unpacked.
    const auto failingStep = [](WordParts &parts) {
        EXPECT_TRUE(parts.count("word/document.xml"));
        throw PluvionError("picture failed");
    };
    EXPECT_THROW(FillWordTemplate(ReportTemplateName(), target, {}, failingStep), PluvionError);
    EXPECT_TRUE(Listing(folder.path()).isEmpty());
    EXPECT_TRUE(Listing(temp.path()).isEmpty());

    // A folder that does not exist.
    const QString nowhere = folder.filePath("missing/out.docx");
    try {
        WriteDataDocument(nowhere, {}, 1);
        FAIL() << "no error";
    } catch (const PluvionError &e) {
        EXPECT_TRUE(e.description().startsWith(CannotCreateFileMessage(nowhere, {}))) << e.what();
    }
    EXPECT_TRUE(Listing(folder.path()).isEmpty());
    EXPECT_TRUE(Listing(temp.path()).isEmpty());
}

// ---- the report ---------------------------------------------------------

Storm ComputedStorm(int step, int fType)
{
    Storm storm = StartUpStorm();
    storm.step = step;
    storm.form = FormulaForm(fType);
    RainPoints points;
    EXPECT_FALSE(CalcRainPoints(storm, points, false, 4).has_value());
    return storm;
}

TableRows TableOf(const Storm &storm, int precision)
{
    Storm computed = storm;
    RainPoints points;
    EXPECT_FALSE(CalcRainPoints(computed, points, false, precision).has_value());
    TableRows rows;
    for (const RainPoint &point : points)
        rows.append(RowTexts(point, 1, precision));
    return rows;
}

QByteArray ReportBytes(const Storm &storm, int precision, const TableRows &rows, const QByteArray &png,
                       const Separators &sep = {})
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    WriteCalcReport(buffer, storm, precision, rows, 1, png, sep);
    return buffer.data();
}

TEST(CalcReport, HasTheStructureThePictureAndTheTable)
{
    const Storm storm = ComputedStorm(5, 0);
    const TableRows rows = TableOf(storm, 4);
    const QByteArray png = QByteArray::fromHex("89504e470d0a1a0a") + QByteArray(300, 'x');
    const Package package = ReadPackage(ReportBytes(storm, 4, rows, png));
    ExpectSoundPackage(package, ReportParts);

    EXPECT_EQ(package.part("word/media/image9.png"), png);
    EXPECT_TRUE(package.part("[Content_Types].xml").contains("Extension=\"png\" ContentType=\"image/png\""));

    const QByteArray xml = package.part("word/document.xml");
    const WordText document = ParseWord(xml);
    ASSERT_TRUE(document.error.isEmpty()) << document.error.toStdString();
    EXPECT_TRUE(document.comments.isEmpty()) << document.comments.join(' ').toStdString();

    // The picture: one inline picture in its fixed frame, shown through the
    // relationship that targets the picture part.
    EXPECT_EQ(Attributes(xml, u"extent", u"cx"), QStringList("5267325"));
    EXPECT_EQ(Attributes(xml, u"extent", u"cy"), QStringList("3810000"));
    const QStringList embeds = Attributes(xml, u"blip", u"embed");
    ASSERT_EQ(embeds.size(), 1);
    const QByteArray rels = package.part("word/_rels/document.xml.rels");
    const QStringList ids = Attributes(rels, u"Relationship", u"Id");
    const QStringList targets = Attributes(rels, u"Relationship", u"Target");
    ASSERT_TRUE(ids.contains(embeds[0]));
    EXPECT_EQ(targets[ids.indexOf(embeds[0])], QStringLiteral("media/image9.png"));

    // The paragraphs in their order.
    const QStringList expectedOrder = {
        "芝加哥雨型计算书",
        "一、计算依据",
        "（公式1）",
        "（公式7）",
        "二、计算",
        "输入参数：",
        "暴雨强度公式",
        "参数：A1=9.5981  c=0.846  b=7  n=0.656",
        "设计重现期：P=2年",
        "降雨历时：t=120min",
        "峰值比例：r=0.4",
        "计算步长：s=5min",
        "芝加哥雨型雨量过程曲线图：",
        "雨量计算数据表格：",
        "时间(min)",
        "累计降雨总量：60.6345mm",
        "平均降雨强度：0.5053mm/min",
    };
    qsizetype at = 0;
    for (const QString &expected : expectedOrder) {
        const auto found = std::find_if(document.paragraphs.cbegin() + at, document.paragraphs.cend(),
                                        [&](const QString &p) { return p.contains(expected); });
        ASSERT_NE(found, document.paragraphs.cend()) << "missing or out of order: " << expected.toStdString();
        at = found - document.paragraphs.cbegin() + 1;
    }
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(document.paragraphs.filter(QStringLiteral("（公式%1）").arg(n)).size(), 1) << n;
    EXPECT_GE(document.mathCount, 8);        // seven numbered formulas and the storm-intensity formula
    EXPECT_FALSE(xml.contains("<w:object")); // no OLE objects
    EXPECT_TRUE(xml.contains("Keifer"));

    ASSERT_EQ(document.tables.size(), 1);
    QList<QStringList> expectedTable = {HeaderRow};
    expectedTable += AsRows(rows);
    EXPECT_EQ(document.tables[0], expectedTable);
    EXPECT_EQ(document.tables[0].size(), 26); // header and minutes 0, 5, ..., 120

    EXPECT_TRUE(package.part("word/footer1.xml").contains("PAGE"));
}

TEST(CalcReport, FunctionNamesInTheFormulasAreUpright)
{
    // "lg" is a function name, not the product of l and g: it stands in a
    // function's name as plain (non-italic) text, which both Word and
    // LibreOffice set upright.
    const Storm storm = ComputedStorm(5, 0);
    const QByteArray xml =
        ReadPackage(ReportBytes(storm, 4, TableOf(storm, 4), {})).part("word/document.xml");
    QXmlStreamReader reader(xml);
    QStringList path;      // the math elements around the current one
    bool plainRun = false; // the current m:r has m:rPr/m:nor
    int functionNames = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.namespaceUri() == M) {
            const QString name = reader.name().toString();
            if (name == u"r")
                plainRun = false;
            else if (name == u"nor")
                plainRun = true;
            if (name == u"t") {
                const QString text = reader.readElementText();
                if (text.contains(u"lg") || text.contains(u"ln")) {
                    EXPECT_EQ(text.size(), 2) << text.toStdString();
                    EXPECT_TRUE(path.contains(QStringLiteral("fName"))) << "not a function name";
                    EXPECT_TRUE(plainRun) << "set in italics";
                    ++functionNames;
                }
                continue;
            }
            path.append(name);
        } else if (reader.isEndElement() && reader.namespaceUri() == M) {
            path.removeLast();
        }
    }
    ASSERT_FALSE(reader.hasError()) << reader.errorString().toStdString();
    EXPECT_EQ(functionNames, 6); // formulas 1, 2, 3, 5, 6 and the storm-intensity formula
}

TEST(CalcReport, WritesParametersAndTotalsInTheGeneralForm)
{
    Storm flow = StartUpStorm();
    flow.form = FormulaForm::Flow;
    flow.totalDepth = 45.1;            // table shows 45.1000, the report 45.1
    flow.averageIntensity = 0.3758333; // rounded to 0.3758
    flow.peakRatio = 0.1 + 0.2;        // stored 0.30000000000000004

    Storm other = StartUpStorm();
    other.form = FormulaForm(2);

    Storm noDepth = StartUpStorm(); // (T + b)^n of a negative base
    noDepth.mode = CalcMode::Block;
    noDepth.b = -200;

    struct Case
    {
        const char *what;
        Storm storm;
        int precision;
        Separators sep;
        QStringList paragraphs;
        QStringList comments;
    };
    const Case cases[] = {
        {"flow form",
         flow,
         4,
         {},
         {"参数：166.7A1=1599.68333333333  c=0.846  b=7  n=0.656", "峰值比例：r=0.3", "计算步长：s=1min",
          "累计降雨总量：45.1mm", "平均降雨强度：0.3758mm/min",
          "计算模式：瞬时雨强（逐分钟按暴雨强度公式取值）",
          "公式雨量：60.2284mm（暴雨强度公式在降雨历时内的雨量 a·t/(t+b)^n，与累计降雨总量对照）"},
         {}},
        {"precision 1, comma separator",
         ComputedStorm(1, 0),
         1,
         Separators{u',', u':'},
         {"参数：A1=9,5981  c=0,846  b=7  n=0,656", "峰值比例：r=0,4", "累计降雨总量：60,6mm",
          "平均降雨强度：0,5mm/min",
          "公式雨量：60,2mm（暴雨强度公式在降雨历时内的雨量 a·t/(t+b)^n，与累计降雨总量对照）"},
         {}},
        {"another form leaves A1 and its name",
         other,
         4,
         {},
         {"参数：=  c=0.846  b=7  n=0.656", "累计降雨总量：0mm"},
         {"A1NAME", "A1"}},
        {"block mode, a formula without a depth",
         noDepth,
         4,
         {},
         {"计算模式：时段平均（每个步长内的平均雨强，总雨量等于公式雨量）", "公式雨量：无法计算"},
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const WordText document = ParseWord(
            ReadPackage(ReportBytes(c.storm, c.precision, {}, {}, c.sep)).part("word/document.xml"));
        ASSERT_TRUE(document.error.isEmpty());
        for (const QString &p : c.paragraphs)
            EXPECT_TRUE(document.paragraphs.contains(p)) << p.toStdString();
        EXPECT_EQ(document.comments, c.comments);
        ASSERT_EQ(document.tables.size(), 1);
        EXPECT_EQ(document.tables[0], QList<QStringList>({HeaderRow})); // a storm without rows
    }
}

TEST(CalcReport, WithoutPictureBytesKeepsTheTemplatePicture)
{
    const Package package = ReadPackage(ReportBytes(StartUpStorm(), 4, {}, {}));
    EXPECT_EQ(package.part("word/media/image9.png"),
              ReadPackage(WordTemplatePackage("CalcBook")).part("word/media/image9.png"));
}

TEST(InsertTableRows, RefusesARowTemplateWithoutThreeFields)
{
    EXPECT_THROW(InsertTableRows(TableRowsPlaceholder(), "<w:tr>%s %s</w:tr>", {{"a", "b", "c"}}),
                 PluvionError);
    EXPECT_EQ(InsertTableRows("x" + TableRowsPlaceholder() + "y" + TableRowsPlaceholder(), "[%s|%s|%s]",
                              {{"1", "2", "3"}, {"4", "5", "6"}}),
              QStringLiteral("x[1|2|3][4|5|6]y[1|2|3][4|5|6]"));
}

} // namespace

// The time column of both Word tables is headed as the CSV's is: by what its
// cells hold.
TEST(WordTables, TimeColumnIsHeadedByTheTimeFormat)
{
    const struct
    {
        int timeFormat;
        TableRow row;
        const char16_t *heading;
    } cases[] = {
        {0, {QStringLiteral("01:05"), QStringLiteral("1"), QStringLiteral("1")}, u">时间(HH:MM)<"},
        {1, {QStringLiteral("65"), QStringLiteral("1"), QStringLiteral("1")}, u">时间(min)<"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.timeFormat);
        QBuffer data;
        data.open(QIODevice::WriteOnly);
        WriteDataDocument(data, {c.row}, c.timeFormat);
        QBuffer report;
        report.open(QIODevice::WriteOnly);
        WriteCalcReport(report, StartUpStorm(), 4, {c.row}, c.timeFormat, {});
        for (const QByteArray &bytes : {data.data(), report.data()}) {
            const QString document = QString::fromUtf8(ReadPackage(bytes).part("word/document.xml"));
            EXPECT_EQ(document.count(QString::fromUtf16(c.heading)), 1);
            EXPECT_EQ(document.count(QStringLiteral(">时间(")), 1);
        }
    }
}

// The report states the storm's own formula: its form (i in mm/min or q in
// L/(s·hm²)) in the input section with the matching legend, and its
// logarithm in every formula.
TEST(CalcReport, FormulaFollowsTheStormsFormAndLogarithm)
{
    const struct
    {
        FormulaForm form;
        Logarithm log;
        const char16_t *formula;
        const char16_t *legend;
    } cases[] = {
        {FormulaForm::Flow, Logarithm::Lg, u"q=166.7A11+ClgPt+bn", u"式中：q——设计暴雨强度，L/(s·hm²)；"},
        {FormulaForm::Flow, Logarithm::Ln, u"q=166.7A11+ClnPt+bn", u"式中：q——设计暴雨强度，L/(s·hm²)；"},
        {FormulaForm::Intensity, Logarithm::Lg, u"i=A11+ClgPt+bn", u"式中：i——设计暴雨强度，mm/min；"},
        {FormulaForm::Intensity, Logarithm::Ln, u"i=A11+ClnPt+bn", u"式中：i——设计暴雨强度，mm/min；"},
    };
    for (const auto &c : cases) {
        Storm storm = StartUpStorm();
        storm.form = c.form;
        storm.log = c.log;
        const QString document =
            QString::fromUtf8(ReadPackage(ReportBytes(storm, 4, {}, {})).part("word/document.xml"));
        const qsizetype input = document.indexOf(QStringLiteral("二、计算"));
        ASSERT_GE(input, 0);
        QString formula;
        static const QRegularExpression mathText(QStringLiteral("<m:t>([^<]*)</m:t>"));
        for (const auto &m :
             mathText.globalMatch(document.mid(input, document.indexOf(u"式中", input) - input)))
            formula += m.captured(1);
        SCOPED_TRACE(QString::fromUtf16(c.formula).toStdString());
        EXPECT_EQ(formula, QString::fromUtf16(c.formula));
        EXPECT_TRUE(document.contains(QString::fromUtf16(c.legend)));
        EXPECT_EQ(document.contains(QStringLiteral("<m:t>lg</m:t>")), c.log == Logarithm::Lg);
        EXPECT_EQ(document.contains(QStringLiteral("<m:t>ln</m:t>")), c.log == Logarithm::Ln);
    }
}

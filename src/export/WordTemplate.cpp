#include "WordTemplate.h"

#include "TemplatePackages.h"
#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QDateTime>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>
#include <zip.h>

namespace {

const QString DocumentPart = QStringLiteral("word/document.xml");
const QString RowTemplatePart = QStringLiteral("word/TableRow.xml");
const QString ContentTypesPart = QStringLiteral("[Content_Types].xml");

// zlib's default compression level (what Z_DEFAULT_COMPRESSION stands for).
// libzip's own "default" (0) would pick level 9 instead.
constexpr zip_uint32_t DeflateLevel = 6;

[[noreturn]] void ThrowDamagedTemplate(const QString &templateName, const QString &reason)
{
    throw PluvionError(QStringLiteral("Word模板“%1”无法读取：%2").arg(templateName, reason));
}

[[noreturn]] void ThrowCannotPack(const QString &reason)
{
    throw PluvionError(QStringLiteral("无法生成Word文档：%1").arg(reason));
}

QString ZipErrorText(zip_error_t *error)
{
    return QString::fromUtf8(zip_error_strerror(error));
}

struct ZipDiscard
{
    void operator()(zip_t *archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscard>;

struct ZipFileClose
{
    void operator()(zip_file_t *file) const { zip_fclose(file); }
};

struct ZipSourceFree
{
    void operator()(zip_source_t *source) const { zip_source_free(source); }
};
using ZipSource = std::unique_ptr<zip_source_t, ZipSourceFree>;

// An entry name that stays inside the working folder: relative, "/"
// separated, without "." or ".." steps.
bool IsSafeEntryName(const QString &name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\') || name.contains(u':'))
        return false;
    const QStringList steps = name.split(u'/');
    for (qsizetype i = 0; i < steps.size(); ++i) {
        const QString &step = steps.at(i);
        const bool last = i == steps.size() - 1;
        if (step == QLatin1String(".") || step == QLatin1String("..") || (step.isEmpty() && !last))
            return false;
    }
    return true;
}

WordParts Unpack(const QString &templateName, const QByteArray &package)
{
    zip_error_t error;
    zip_error_init(&error);
    ZipSource source(zip_source_buffer_create(package.constData(), zip_uint64_t(package.size()), 0, &error));
    if (!source)
        ThrowDamagedTemplate(templateName, ZipErrorText(&error));
    ZipArchive archive(zip_open_from_source(source.get(), ZIP_RDONLY, &error));
    if (!archive)
        ThrowDamagedTemplate(templateName, ZipErrorText(&error));
    source.release(); // the archive owns it now

    WordParts parts;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), zip_uint64_t(index), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_NAME) || !(stat.valid & ZIP_STAT_SIZE))
            ThrowDamagedTemplate(templateName, QString::fromUtf8(zip_strerror(archive.get())));
        const QString name = QString::fromUtf8(stat.name);
        if (!IsSafeEntryName(name))
            ThrowDamagedTemplate(templateName, name);
        if (name.endsWith(u'/'))
            continue; // the package holds no folder entries

        std::unique_ptr<zip_file_t, ZipFileClose> entry(
            zip_fopen_index(archive.get(), zip_uint64_t(index), 0));
        if (!entry)
            ThrowDamagedTemplate(templateName, QString::fromUtf8(zip_strerror(archive.get())));
        QByteArray bytes(qsizetype(stat.size), Qt::Uninitialized);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const zip_int64_t read =
                zip_fread(entry.get(), bytes.data() + got, zip_uint64_t(bytes.size() - got));
            if (read <= 0)
                ThrowDamagedTemplate(templateName, name);
            got += qsizetype(read);
        }
        parts[name] = std::move(bytes);
    }
    return parts;
}

// The part names in package order: the content types first (where tools
// that sniff a package look for them), then by name.
QStringList PartOrder(const WordParts &parts)
{
    QStringList names;
    for (const auto &[name, bytes] : parts)
        names.append(name);
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        if ((a == ContentTypesPart) != (b == ContentTypesPart))
            return a == ContentTypesPart;
        return a < b;
    });
    return names;
}

QByteArray Pack(const WordParts &parts)
{
    zip_error_t error;
    zip_error_init(&error);
    ZipSource buffer(zip_source_buffer_create(nullptr, 0, 0, &error));
    if (!buffer)
        ThrowCannotPack(ZipErrorText(&error));
    zip_t *archive = zip_open_from_source(buffer.get(), ZIP_TRUNCATE, &error);
    if (!archive)
        ThrowCannotPack(ZipErrorText(&error));
    // The archive takes one reference to the buffer and drops it on close;
    // ours keeps the written bytes readable afterwards.
    zip_source_keep(buffer.get());
    ZipArchive open(archive);

    // libzip reads the entries' data when the archive is closed; `parts`
    // outlives that. Every entry carries the time the document was made.
    const time_t made = time_t(QDateTime::currentSecsSinceEpoch());
    for (const QString &name : PartOrder(parts)) {
        const QByteArray &bytes = parts.at(name);
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source)
            ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
        const zip_int64_t index = zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
        }
        if (zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, DeflateLevel) != 0 ||
            zip_file_set_mtime(archive, zip_uint64_t(index), made, 0) != 0)
            ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
    }
    if (zip_close(archive) != 0)
        ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
    (void)open.release(); // closed and freed by zip_close

    zip_source_t *written = buffer.get();
    if (zip_source_open(written) != 0)
        ThrowCannotPack(ZipErrorText(zip_source_error(written)));
    QByteArray bytes;
    if (zip_source_seek(written, 0, SEEK_END) == 0) {
        const zip_int64_t size = zip_source_tell(written);
        if (size >= 0 && zip_source_seek(written, 0, SEEK_SET) == 0) {
            bytes.resize(qsizetype(size));
            if (zip_source_read(written, bytes.data(), zip_uint64_t(size)) != size)
                bytes.clear();
        }
    }
    zip_source_close(written);
    if (bytes.isEmpty())
        ThrowCannotPack(ZipErrorText(zip_source_error(written)));
    return bytes;
}

// The whole fill, from the compiled-in package to the bytes of the new one,
// in memory: nothing is written anywhere but the user's file.
QByteArray FilledPackage(const QString &templateName, const WordEditStep &editStep,
                         const WordExtraFileStep &extraFileStep)
{
    WordParts parts = Unpack(templateName, WordTemplatePackage(templateName));
    const auto part = [&](const QString &name) {
        const auto found = parts.find(name);
        if (found == parts.end())
            ThrowDamagedTemplate(templateName, name);
        return QString::fromUtf8(found->second);
    };
    const QString document = part(DocumentPart);
    const QString rowTemplate = part(RowTemplatePart);
    if (editStep)
        parts[DocumentPart] = editStep(document, rowTemplate).toUtf8();
    if (extraFileStep)
        extraFileStep(parts);
    return Pack(parts);
}

// Cell text as XML character data: the markup characters escaped, and the
// control characters that XML 1.0 does not allow dropped.
QString XmlText(const QString &text)
{
    const auto needsWork = [](QChar c) {
        return c == u'&' || c == u'<' || c == u'>' ||
               (c.unicode() < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || c.unicode() == 0xFFFE ||
               c.unicode() == 0xFFFF;
    };
    if (std::none_of(text.begin(), text.end(), needsWork))
        return text;
    QString escaped;
    escaped.reserve(text.size() + 16);
    for (const QChar c : text) {
        if (c == u'&')
            escaped += QLatin1String("&amp;");
        else if (c == u'<')
            escaped += QLatin1String("&lt;");
        else if (c == u'>')
            escaped += QLatin1String("&gt;");
        else if (!needsWork(c))
            escaped += c;
    }
    return escaped;
}

} // namespace

QByteArray WordTemplatePackage(const QString &templateName)
{
    for (const TemplatePackage &package : CompiledTemplatePackages()) {
        if (templateName.compare(QLatin1String(package.name), Qt::CaseInsensitive) == 0)
            return QByteArray::fromRawData(reinterpret_cast<const char *>(package.data),
                                           qsizetype(package.size));
    }
    throw PluvionError(QStringLiteral("找不到Word模板“%1”。").arg(templateName));
}

QString TooManyWordRowsMessage(qsizetype rows)
{
    return QStringLiteral("表格有 %1 行，超过Word文档的上限 %2 行。请缩短降雨历时或加大计算步长，"
                          "或者保存为CSV（Excel格式）。")
        .arg(rows)
        .arg(WordTableRowLimit);
}

TableRows WordTableTexts(const TableRowSource &source)
{
    if (source.rowCount() > WordTableRowLimit)
        throw PluvionError(TooManyWordRowsMessage(source.rowCount()));
    return TableTexts(source);
}

QString InsertTableRows(const QString &document, const QString &rowTemplate, const TableRows &rows)
{
    if (rows.size() > WordTableRowLimit)
        throw PluvionError(TooManyWordRowsMessage(rows.size()));
    const QStringList pieces = rowTemplate.split(QStringLiteral("%s"));
    if (pieces.size() != 4)
        throw PluvionError(QStringLiteral("Word模板的表格行“%1”应含有三个%s。").arg(RowTemplatePart));

    QString rowsText;
    rowsText.reserve(rows.size() * (rowTemplate.size() + 24));
    for (const auto &row : rows) {
        rowsText += pieces.at(0);
        rowsText += XmlText(row[0]);
        rowsText += pieces.at(1);
        rowsText += XmlText(row[1]);
        rowsText += pieces.at(2);
        rowsText += XmlText(row[2]);
        rowsText += pieces.at(3);
    }
    QString edited = document;
    edited.replace(TableRowsPlaceholder(), rowsText);
    return edited;
}

void FillWordTemplate(const QString &templateName, QIODevice &target, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep)
{
    const QByteArray package = FilledPackage(templateName, editStep, extraFileStep);
    if (!WriteAllBytes(target, package))
        throw PluvionError(QStringLiteral("无法写入Word文档：%1").arg(target.errorString()));
}

void FillWordTemplate(const QString &templateName, const FileTarget &target, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep)
{
    // Opened first, so that a target that cannot be written is told before
    // the work of filling the template.
    FileWriter file(target);
    file.write(FilledPackage(templateName, editStep, extraFileStep));
    file.commit();
}

QString WordDocumentPath(const QString &chosenName)
{
    return ChangeFileExtension(chosenName, QStringLiteral(".docx"));
}

WordExtraFileStep ReportPictureStep(const QByteArray &chartPng)
{
    return [chartPng](WordParts &parts) {
        if (!chartPng.isEmpty())
            parts[QStringLiteral("word/media/image9.png")] = chartPng;
    };
}

QString WithTimeHeading(const QString &document, int timeFormat)
{
    const std::optional<QString> heading = TimeColumnHeading(timeFormat);
    if (!heading)
        return document;
    QString text = document;
    text.replace(QStringLiteral(">时间(min)<"), u'>' + *heading + u'<');
    return text;
}

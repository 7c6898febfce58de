#include "WordTemplate.h"

#include "TemplatePackages.h"
#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTemporaryDir>
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

[[noreturn]] void ThrowCannotCreate(const QString &path, const QString &reason)
{
    throw PluvionError(CannotCreateFileMessage(path, reason));
}

[[noreturn]] void ThrowCannotReplace(const QString &path)
{
    throw PluvionError(
        QStringLiteral("无法替换文件“%1”。请确认该文件没有被其他程序打开，然后重试，或换一个文件名保存。")
            .arg(QDir::toNativeSeparators(path)));
}

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

// A file of the working folder, which nobody else sees until it is packed.
void WriteWorkingFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered) ||
        !WriteAllBytes(file, bytes))
        ThrowCannotCreate(path, file.errorString());
}

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

void Unpack(const QString &templateName, const QByteArray &package, const QString &folder)
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

    const QDir root(folder);
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t index = 0; index < count; ++index) {
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), zip_uint64_t(index), 0, &stat) != 0 ||
            !(stat.valid & ZIP_STAT_NAME) || !(stat.valid & ZIP_STAT_SIZE))
            ThrowDamagedTemplate(templateName, QString::fromUtf8(zip_strerror(archive.get())));
        const QString name = QString::fromUtf8(stat.name);
        if (!IsSafeEntryName(name))
            ThrowDamagedTemplate(templateName, name);
        const QString path = root.filePath(name);
        if (name.endsWith(u'/')) {
            if (!root.mkpath(name))
                ThrowCannotCreate(path, QString());
            continue;
        }
        if (!root.mkpath(QFileInfo(name).path()))
            ThrowCannotCreate(path, QString());

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
        WriteWorkingFile(path, bytes);
    }
}

// The files below the folder, as "/"-separated relative paths: the content
// types first (where tools that sniff a package look for them), then by name.
QStringList PackageFiles(const QString &folder)
{
    const QDir root(folder);
    QStringList names;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(root.relativeFilePath(it.next()));
    std::sort(names.begin(), names.end(), [](const QString &a, const QString &b) {
        if ((a == ContentTypesPart) != (b == ContentTypesPart))
            return a == ContentTypesPart;
        return a < b;
    });
    return names;
}

QByteArray Pack(const QString &folder)
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

    // libzip reads the entries' data when the archive is closed.
    const QDir root(folder);
    std::vector<QByteArray> contents;
    for (const QString &name : PackageFiles(folder)) {
        const QString path = root.filePath(name);
        contents.push_back(ReadFileBytes(path));
        const QByteArray &bytes = contents.back();
        zip_source_t *source = zip_source_buffer(archive, bytes.constData(), zip_uint64_t(bytes.size()), 0);
        if (!source)
            ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
        const zip_int64_t index = zip_file_add(archive, name.toUtf8().constData(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            ThrowCannotPack(QString::fromUtf8(zip_strerror(archive)));
        }
        const time_t modified = time_t(QFileInfo(path).lastModified().toSecsSinceEpoch());
        if (zip_set_file_compression(archive, zip_uint64_t(index), ZIP_CM_DEFLATE, DeflateLevel) != 0 ||
            zip_file_set_mtime(archive, zip_uint64_t(index), modified, 0) != 0)
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

// The whole fill, from the compiled-in package to the bytes of the new one.
// The working folder goes with the QTemporaryDir, also when a step fails.
QByteArray FilledPackage(const QString &templateName, const WordEditStep &editStep,
                         const WordExtraFileStep &extraFileStep)
{
    const QByteArray package = WordTemplatePackage(templateName);
    QTemporaryDir working;
    if (!working.isValid())
        throw PluvionError(QStringLiteral("无法创建临时文件夹：%1").arg(working.errorString()));
    Unpack(templateName, package, working.path());

    const QString documentPath = working.filePath(DocumentPart);
    const QString document = QString::fromUtf8(ReadFileBytes(documentPath));
    const QString rowTemplate = QString::fromUtf8(ReadFileBytes(working.filePath(RowTemplatePart)));
    const QString edited = editStep ? editStep(document, rowTemplate) : document;
    WriteWorkingFile(documentPath, edited.toUtf8());

    if (extraFileStep)
        extraFileStep(working.path());
    return Pack(working.path());
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

QString InsertTableRows(const QString &document, const QString &rowTemplate, const TableRows &rows)
{
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

void FillWordTemplate(const QString &templateName, const QString &targetPath, const WordEditStep &editStep,
                      const WordExtraFileStep &extraFileStep)
{
    const QFileInfo target(targetPath);
    const bool targetExists = target.exists() || target.isSymLink();
    if (targetExists && !target.isFile())
        ThrowCannotReplace(targetPath);

    // The package goes to a unique temporary file beside the target that only
    // takes the target's place once complete; an uncommitted QSaveFile
    // removes its temporary file. Unbuffered, so that every write reports
    // what reached the disk.
    QSaveFile file(targetPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (targetExists)
            ThrowCannotReplace(targetPath);
        ThrowCannotCreate(targetPath, file.errorString());
    }
    const QByteArray package = FilledPackage(templateName, editStep, extraFileStep);
    if (!WriteAllBytes(file, package))
        ThrowCannotCreate(targetPath, file.errorString());
    if (!file.commit()) {
        if (QFileInfo::exists(targetPath))
            ThrowCannotReplace(targetPath);
        ThrowCannotCreate(targetPath, file.errorString());
    }
}

QString WordDocumentPath(const QString &chosenName)
{
    return ChangeFileExtension(chosenName, QStringLiteral(".docx"));
}

#include "export/ExportTarget.h"

#include "model/PluvionError.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// The position of the extension's dot in `name`, or -1 when the file-name
// part has none.
qsizetype ExtensionDot(const QString &name)
{
    // Native separators map one to one, so positions stay those of `name`.
    const QString portable = QDir::fromNativeSeparators(name);
    const qsizetype fileNameStart = portable.lastIndexOf(u'/') + 1;
    const qsizetype dot = portable.lastIndexOf(u'.');
    return dot >= fileNameStart ? dot : -1;
}

} // namespace

QString FileExtension(const QString &name)
{
    const qsizetype dot = ExtensionDot(name);
    return dot < 0 ? QString() : name.sliced(dot);
}

QString ChangeFileExtension(const QString &name, const QString &extension)
{
    const qsizetype dot = ExtensionDot(name);
    return (dot < 0 ? name : name.first(dot)) + extension;
}

bool TargetNeedsReplaceQuestion(const QString &chosenName, const QString &target)
{
    const QFileInfo targetInfo(target);
    if (!targetInfo.exists())
        return false;
    // Another spelling of the very file the dialog asked about needs no
    // second question.
    return QFileInfo(chosenName) != targetInfo;
}

bool WriteAllBytes(QIODevice &device, const QByteArray &bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = device.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

void WriteExportFile(const QString &path, const QByteArray &bytes)
{
    // Nothing touches the target until commit() puts the finished temporary
    // file in its place; on any failure the temporary file is dropped.
    // Unbuffered, so that every write reports what reached the file: a
    // buffered QSaveFile lets a short write at commit time (a full disk, a
    // file-size limit) pass as success and would install a cut-off file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw PluvionError(CannotCreateFileMessage(path, file.errorString()));
    if (!WriteAllBytes(file, bytes) || !file.commit())
        throw PluvionError(CannotCreateFileMessage(path, file.errorString()));
}

QString CannotCreateFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

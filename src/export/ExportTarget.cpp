#include "export/ExportTarget.h"

#include <QDir>
#include <QFileInfo>

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

#include "io/DialogFolders.h"

#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QFileInfo>
#include <QStringList>
#include <utility>

namespace {

// The keys the file stores; they never change with the enum's order.
QString KindKey(FileKind kind)
{
    switch (kind) {
    case FileKind::None:
        break;
    case FileKind::Storm:
        return QStringLiteral("storm");
    case FileKind::Data:
        return QStringLiteral("data");
    case FileKind::Picture:
        return QStringLiteral("picture");
    case FileKind::Swmm:
        return QStringLiteral("swmm");
    case FileKind::FitData:
        return QStringLiteral("fit-data");
    case FileKind::FitReport:
        return QStringLiteral("fit-report");
    case FileKind::Records:
        return QStringLiteral("records");
    }
    return {};
}

} // namespace

DialogFolders::DialogFolders(QString file) : m_file(std::move(file))
{
    if (m_file.isEmpty() || !QFileInfo::exists(m_file))
        return;
    try {
        const QString text = QString::fromUtf8(ReadFileBytes(m_file));
        for (const QString &line : text.split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype equals = line.indexOf(u'=');
            if (equals > 0)
                m_folders.insert(line.left(equals), line.mid(equals + 1).trimmed());
        }
    } catch (const PluvionError &) {
        // Unreadable: the dialogs start where the platform puts them.
    }
}

QString DialogFolders::folder(FileKind kind) const
{
    const QString folder = m_folders.value(KindKey(kind));
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void DialogFolders::remember(FileKind kind, const QString &chosenPath)
{
    const QString key = KindKey(kind);
    if (key.isEmpty() || chosenPath.isEmpty() || chosenPath.contains(u'\n') || chosenPath.contains(u'\r'))
        return;
    const QString folder = QFileInfo(chosenPath).absolutePath();
    if (m_folders.value(key) == folder)
        return;
    m_folders.insert(key, folder);
    if (m_file.isEmpty())
        return;
    QStringList keys = m_folders.keys();
    keys.sort();
    QString text;
    for (const QString &k : keys)
        text += k + u'=' + m_folders.value(k) + u'\n';
    try {
        WriteFileBytes(m_file, text.toUtf8());
    } catch (const PluvionError &) {
        // Not written: the folders hold for this session.
    }
}

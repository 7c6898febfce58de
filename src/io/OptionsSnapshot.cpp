#include "io/OptionsSnapshot.h"

#include "model/PluvionError.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

PluvionError writeFailure(const QString &path)
{
    return PluvionError(QStringLiteral("Unable to write to %1").arg(path));
}

// Whether anything lies at path, a dangling link included: a link counts as
// there, since removing or replacing it is what putting the file back means.
bool pathExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool readAll(const QString &path, QByteArray *bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    *bytes = std::move(content);
    return true;
}

// Replaces the file in one step. Unbuffered, so that every write reports the
// bytes that reached the temporary file; a short write drops it and the file
// at path keeps what it held.
bool replaceFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = file.write(bytes.constData() + written, bytes.size() - written);
        if (count <= 0) {
            file.cancelWriting();
            return false;
        }
        written += count;
    }
    return file.commit();
}

} // namespace

OptionsSnapshot::OptionsSnapshot(const TViewOptions &options, const QString &path)
    : m_options(options), m_path(path)
{
    if (!pathExists(path))
        m_state = FileState::Missing;
    else if (readAll(path, &m_bytes))
        m_state = FileState::Read;
    else
        m_state = FileState::Unreadable;
}

void OptionsSnapshot::restore(TViewOptions &options) const
{
    options = m_options;

    switch (m_state) {
    case FileState::Unreadable:
        // Bytes we never saw cannot be put back; whatever is there stays.
        return;
    case FileState::Missing:
        if (pathExists(m_path) && !QFile::remove(m_path) && pathExists(m_path))
            throw writeFailure(m_path);
        return;
    case FileState::Read: {
        QByteArray current;
        if (pathExists(m_path) && readAll(m_path, &current) && current == m_bytes)
            return;
        if (!replaceFile(m_path, m_bytes))
            throw writeFailure(m_path);
        return;
    }
    }
}

void KeepOrRevertOptions(bool accepted, TViewOptions &options, const OptionsSnapshot &opened)
{
    if (accepted) {
        SaveOptions(options, opened.path());
        LoadOptions(options, opened.path());
        return;
    }
    opened.restore(options);
}

#include "io/OptionsSnapshot.h"

#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Whether anything lies at path, a dangling link included: a link counts as
// there, since removing or replacing it is what putting the file back means.
bool pathExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool readAll(const QString &path, QByteArray *bytes)
{
    try {
        *bytes = ReadFileBytes(path);
        return true;
    } catch (const PluvionError &) {
        return false;
    }
}

} // namespace

OptionsSnapshot::OptionsSnapshot(const ViewOptions &options, const QString &path)
    : m_options(options), m_path(path)
{
    if (!pathExists(path))
        m_state = FileState::Missing;
    else if (readAll(path, &m_bytes))
        m_state = FileState::Read;
    else
        m_state = FileState::Unreadable;
}

void OptionsSnapshot::restore(ViewOptions &options) const
{
    options = m_options;

    switch (m_state) {
    case FileState::Unreadable:
        // Bytes we never saw cannot be put back; whatever is there stays.
        return;
    case FileState::Missing:
        if (QFile file(m_path); pathExists(m_path) && !file.remove() && pathExists(m_path))
            throw OptionsWriteFailure(m_path, PluvionError(file.errorString()));
        return;
    case FileState::Read: {
        QByteArray current;
        if (pathExists(m_path) && readAll(m_path, &current) && current == m_bytes)
            return;
        try {
            WriteFileBytes(m_path, m_bytes);
        } catch (const PluvionError &error) {
            throw OptionsWriteFailure(m_path, error);
        }
        return;
    }
    }
}

void KeepOrRevertOptions(bool accepted, ViewOptions &options, const OptionsSnapshot &opened)
{
    if (accepted) {
        SaveOptions(options, opened.path());
        LoadOptions(options, opened.path());
        return;
    }
    opened.restore(options);
}

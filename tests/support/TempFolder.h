#pragma once

// A temporary folder for tests that write files, and the few things they
// check about it: bytes in and out, the files left, the error raised.

#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <gtest/gtest.h>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

// The description of the PluvionError the action raises; "<no error>" when
// it raises none.
inline QString ErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const PluvionError &error) {
        return error.description();
    }
    return QStringLiteral("<no error>");
}

// What the writer says of a target it cannot create.
inline QString WriteFailureReason(const QString &name)
{
    if (name.startsWith(QLatin1String("missing/")))
        return SystemErrorReason(ENOENT);
    if (name.startsWith(QLatin1String("plain/")))
        return SystemErrorReason(ENOTDIR);
    return SystemErrorReason(EISDIR);
}

// A fixture owning a fresh folder. Names are relative to it; an absolute
// path is taken as it is.
class TempFolderTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return QDir(m_dir.path()).filePath(name); }

    void writeBytes(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size()) << name.toStdString();
    }

    // The file's bytes, or "<unreadable>" when it cannot be read.
    QByteArray readBytes(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }

    // The names of the files in the folder itself, hidden ones included.
    QStringList filesInDir() const { return QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir m_dir;
};

#ifdef Q_OS_UNIX
// While it lives, no file of this process grows beyond `bytes`: a write
// past the limit fails as on a full disk. The limit binds root too.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_haveSaved = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        if (!m_haveSaved)
            return;
        m_savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_active = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        if (!m_haveSaved)
            return;
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_savedHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    // Whether the limit could be set; a test without it proves nothing.
    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_savedHandler)(int) = SIG_DFL;
    bool m_haveSaved = false;
    bool m_active = false;
};
#endif

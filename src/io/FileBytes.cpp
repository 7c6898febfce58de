#include "io/FileBytes.h"

#include "model/PluvionError.h"

#include <QFile>
#include <QIODevice>

QString CannotOpenFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString CannotCreateFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

QByteArray ReadFileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PluvionError(CannotOpenFileMessage(path, file.errorString()));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw PluvionError(CannotOpenFileMessage(path, file.errorString()));
    return bytes;
}

bool WriteAllBytes(QIODevice &device, QByteArrayView bytes)
{
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 count = device.write(bytes.data() + written, bytes.size() - written);
        if (count <= 0)
            return false;
        written += count;
    }
    return true;
}

FileWriter::FileWriter(const QString &path) : m_path(path), m_file(path)
{
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail();
}

void FileWriter::write(QByteArrayView chunk)
{
    if (!WriteAllBytes(m_file, chunk))
        fail();
}

void FileWriter::commit()
{
    if (!m_file.commit())
        fail();
}

void FileWriter::fail()
{
    const QString reason = m_file.errorString();
    if (m_file.isOpen())
        m_file.cancelWriting();
    throw PluvionError(CannotCreateFileMessage(m_path, reason));
}

void WriteFileBytes(const QString &path, QByteArrayView bytes)
{
    FileWriter writer(path);
    writer.write(bytes);
    writer.commit();
}

#include "io/FileBytes.h"

#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

QString CannotOpenFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot open file \"%1\". %2").arg(path, reason);
}

QString CannotCreateFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("Cannot create file \"%1\". %2").arg(path, reason);
}

namespace {

[[noreturn]] void ThrowCannotOpen(const QString &path, const QString &reason,
                                  PluvionErrorKind kind = PluvionErrorKind::Failure)
{
    throw PluvionError(CannotOpenFileMessage(path, reason), kind);
}

QString TooLargeReason(qint64 maxBytes)
{
    return QStringLiteral("文件大于 %1 KB，不是本程序的文件。").arg(maxBytes / 1024);
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Refuses a target that must not be replaced: see FileWriter.
void RefuseUnusableTarget(const QString &path)
{
    const QFileInfo target(path); // follows symbolic links
    if (target.isSymLink() && !target.exists())
        throw PluvionError(
            QStringLiteral("“%1”是一个指向不存在位置的符号链接，不能写入。请换一个文件名保存。")
                .arg(QDir::toNativeSeparators(path)),
            PluvionErrorKind::UnusableFile);
    if (target.exists() && !target.isFile() && !target.isDir())
        throw PluvionError(
            QStringLiteral("“%1”不是普通文件（而是设备、管道或套接字），不能写入。请换一个文件名保存。")
                .arg(QDir::toNativeSeparators(path)),
            PluvionErrorKind::UnusableFile);
}

} // namespace

void CheckTarget(const QString &path)
{
    RefuseUnusableTarget(path);
    const QFileInfo target(path);
    if (target.isDir())
        throw PluvionError(CannotCreateFileMessage(path, QStringLiteral("它是一个文件夹。")));
    const QFileInfo folder(target.absolutePath());
    if (!folder.isDir())
        throw PluvionError(CannotCreateFileMessage(
            path, QStringLiteral("文件夹“%1”不存在。").arg(QDir::toNativeSeparators(folder.filePath()))));
}

QString NotARegularFileReason()
{
    return QStringLiteral("它不是普通文件（而是文件夹、设备或管道），不能读取。");
}

namespace {

// The descriptor of `path` opened for reading without blocking (so a FIFO or a
// device never stalls the program), once it is known to be a regular file of at
// most `maxBytes` bytes; its size in `size`.
int OpenRegularFile(const QString &path, qint64 maxBytes, qint64 &size)
{
    const QByteArray name = QFile::encodeName(path);
    Descriptor file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (file.get() < 0)
        ThrowCannotOpen(path, qt_error_string(errno));
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0)
        ThrowCannotOpen(path, qt_error_string(errno));
    if (!S_ISREG(status.st_mode))
        ThrowCannotOpen(path, NotARegularFileReason(), PluvionErrorKind::UnusableFile);
    if (status.st_size > maxBytes)
        ThrowCannotOpen(path, TooLargeReason(maxBytes), PluvionErrorKind::UnusableFile);
    size = status.st_size;
    return file.release();
}

// Reads what the file holds next into `data`, at most `size` bytes, trying
// again when a signal interrupts; 0 at its end.
qsizetype ReadNext(int file, char *data, qsizetype size, const QString &path)
{
    for (;;) {
        const ssize_t count = ::read(file, data, size_t(size));
        if (count >= 0)
            return qsizetype(count);
        if (errno != EINTR)
            ThrowCannotOpen(path, qt_error_string(errno));
    }
}

} // namespace

void ReadFileInChunks(const QString &path, qint64 maxBytes, qsizetype chunkBytes,
                      const std::function<void(QByteArrayView)> &consume)
{
    qint64 size = 0;
    const Descriptor file(OpenRegularFile(path, maxBytes, size));
    QByteArray chunk(std::max<qsizetype>(chunkBytes, 1), Qt::Uninitialized);
    qint64 total = 0;
    for (;;) {
        const qsizetype count = ReadNext(file.get(), chunk.data(), chunk.size(), path);
        if (count == 0)
            break;
        // The file may grow while it is read.
        total += count;
        if (total > maxBytes)
            ThrowCannotOpen(path, TooLargeReason(maxBytes), PluvionErrorKind::UnusableFile);
        consume(QByteArrayView(chunk.constData(), qsizetype(count)));
    }
}

FilePieces::FilePieces(const QString &path, qint64 maxBytes) : m_path(path)
{
    m_fd = OpenRegularFile(path, maxBytes, m_size);
}

FilePieces::~FilePieces()
{
    ::close(m_fd);
}

qsizetype FilePieces::read(qint64 offset, char *data, qsizetype size) const
{
    qsizetype got = 0;
    while (got < size) {
        const ssize_t count = ::pread(m_fd, data + got, size_t(size - got), off_t(offset + got));
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            ThrowCannotOpen(m_path, qt_error_string(errno));
        }
        got += qsizetype(count);
    }
    return got;
}

QByteArray ReadFileBytes(const QString &path, qint64 maxBytes)
{
    qint64 size = 0;
    const Descriptor file(OpenRegularFile(path, maxBytes, size));

    // The file may grow while it is read: one byte past the limit tells.
    QByteArray bytes(qsizetype(size) + 1, Qt::Uninitialized);
    qsizetype got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > maxBytes)
                ThrowCannotOpen(path, TooLargeReason(maxBytes), PluvionErrorKind::UnusableFile);
            bytes.resize(std::min<qint64>(maxBytes + 1, qint64(bytes.size()) * 2));
        }
        const qsizetype count = ReadNext(file.get(), bytes.data() + got, bytes.size() - got, path);
        if (count == 0)
            break;
        got += count;
    }
    if (got > maxBytes)
        ThrowCannotOpen(path, TooLargeReason(maxBytes), PluvionErrorKind::UnusableFile);
    bytes.truncate(got);
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
    RefuseUnusableTarget(path);
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
    // Once more right before the rename, which is what would replace the target.
    try {
        RefuseUnusableTarget(m_path);
    } catch (const PluvionError &) {
        m_file.cancelWriting();
        throw;
    }
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

#include "io/FileBytes.h"

#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

QString CannotOpenFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("无法读取文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
}

QString CannotCreateFileMessage(const QString &path, const QString &reason)
{
    return QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), reason);
}

QString SystemErrorReason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有权限。");
    case ENOENT:
        return QStringLiteral("文件或文件夹不存在。");
    case ENOTDIR:
        return QStringLiteral("路径中有一部分不是文件夹。");
    case EISDIR:
        return QStringLiteral("它是一个文件夹。");
    case ENOSPC:
        return QStringLiteral("磁盘已满。");
    case EDQUOT:
        return QStringLiteral("超出了磁盘配额。");
    case EROFS:
        return QStringLiteral("文件系统是只读的。");
    case EFBIG:
        return QStringLiteral("文件超过了允许的大小。");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长。");
    case ELOOP:
        return QStringLiteral("符号链接的层数太多。");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("同时打开的文件太多。");
    case EIO:
        return QStringLiteral("读写设备出错。");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被占用。");
    case EPIPE:
        return QStringLiteral("管道的读取端已关闭。");
    case EBADF:
        return QStringLiteral("文件已关闭。");
    default:
        return QStringLiteral("系统错误 %1（%2）。").arg(error).arg(qt_error_string(error));
    }
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
        ThrowCannotOpen(path, SystemErrorReason(errno));
    struct stat status = {};
    if (::fstat(file.get(), &status) != 0)
        ThrowCannotOpen(path, SystemErrorReason(errno));
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
            ThrowCannotOpen(path, SystemErrorReason(errno));
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

namespace {

// Writes all of `bytes` to the descriptor, repeating short writes and
// interrupted ones; false with errno set when it cannot.
bool WriteAllToDescriptor(int descriptor, QByteArrayView bytes)
{
    const char *data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t count = ::write(descriptor, data, size_t(left));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (count == 0) {
            errno = EIO;
            return false;
        }
        data += count;
        left -= count;
    }
    return true;
}

// A temporary name beside `final` that no file has yet, opened for writing:
// "<name>.<random>.tmp", created with the permissions new files get.
int CreateTemporaryBeside(const QByteArray &final, QByteArray &temporary)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = final + '.' + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ".tmp";
        const int descriptor =
            ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (descriptor >= 0 || errno != EEXIST)
            return descriptor;
    }
    errno = EEXIST;
    return -1;
}

} // namespace

FileWriter::FileWriter(const FileTarget &target) : m_path(target.path), m_stage(target.stage)
{
    RefuseUnusableTarget(m_path);
    const QFileInfo info(m_path);
    if (info.isDir())
        throw PluvionError(CannotCreateFileMessage(m_path, SystemErrorReason(EISDIR)));
    // A link is followed: the file it points to is the one replaced.
    m_final = QFile::encodeName(info.isSymLink() ? info.canonicalFilePath() : m_path);
    m_descriptor = CreateTemporaryBeside(m_final, m_temporary);
    if (m_descriptor < 0) {
        const int error = errno;
        m_temporary.clear();
        // A missing folder or a file where the folder should be: the
        // target's own reason, not the temporary name's.
        throw PluvionError(CannotCreateFileMessage(m_path, SystemErrorReason(error)));
    }
    // A replaced file keeps its permissions.
    struct stat status = {};
    if (::stat(m_final.constData(), &status) == 0 && S_ISREG(status.st_mode))
        ::fchmod(m_descriptor, status.st_mode & 07777);
}

FileWriter::~FileWriter()
{
    discard();
}

void FileWriter::write(QByteArrayView chunk)
{
    if (m_descriptor < 0)
        fail(EBADF);
    if (!WriteAllToDescriptor(m_descriptor, chunk))
        fail(errno);
}

void FileWriter::close()
{
    // On the disk before the name is taken: a file system that is full or
    // failing says so here, not after the old file is gone.
    if (::fdatasync(m_descriptor) != 0 && errno != EINVAL && errno != EROFS && errno != ENOTSUP)
        fail(errno);
    const int descriptor = std::exchange(m_descriptor, -1);
    if (::close(descriptor) != 0 && errno != EINTR) {
        const int error = errno;
        discard();
        fail(error);
    }
}

void FileWriter::commit()
{
    if (m_descriptor < 0)
        fail(EBADF);
    close();
    if (m_stage) {
        m_stage->adopt({m_path, m_final, std::exchange(m_temporary, {})});
        return;
    }
    // Once more right before the rename, which is what would replace the target.
    try {
        RefuseUnusableTarget(m_path);
    } catch (const PluvionError &) {
        discard();
        throw;
    }
    if (::rename(m_temporary.constData(), m_final.constData()) != 0)
        fail(errno);
    m_temporary.clear();
}

void FileWriter::discard()
{
    if (m_descriptor >= 0)
        ::close(std::exchange(m_descriptor, -1));
    if (!m_temporary.isEmpty())
        ::unlink(std::exchange(m_temporary, {}).constData());
}

void FileWriter::fail(int error)
{
    discard();
    throw PluvionError(CannotCreateFileMessage(m_path, SystemErrorReason(error)));
}

FileStage::~FileStage()
{
    discard();
}

void FileStage::discard()
{
    for (const Staged &file : m_files) {
        if (!file.temporary.isEmpty())
            ::unlink(file.temporary.constData());
    }
    m_files.clear();
}

void FileStage::adopt(Staged file)
{
    for (const Staged &other : m_files) {
        if (other.final == file.final) {
            ::unlink(file.temporary.constData());
            throw PluvionError(
                QStringLiteral("“%1”与“%2”是同一个文件，不能在一次运行中写两次。")
                    .arg(QDir::toNativeSeparators(other.path), QDir::toNativeSeparators(file.path)));
        }
    }
    m_files.push_back(std::move(file));
}

void FileStage::commit()
{
    for (const Staged &file : m_files)
        RefuseUnusableTarget(file.path);
    for (Staged &file : m_files) {
        if (::rename(file.temporary.constData(), file.final.constData()) != 0)
            throw PluvionError(CannotCreateFileMessage(file.path, SystemErrorReason(errno)));
        file.temporary.clear();
    }
}

QString FileIdentity(const QString &path)
{
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0)
        return QStringLiteral("inode:%1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
    const QFileInfo info(path);
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    if (folder.isEmpty())
        return {};
    return QStringLiteral("path:") + folder + u'/' + info.fileName();
}

void WriteFileBytes(const FileTarget &target, QByteArrayView bytes)
{
    FileWriter writer(target);
    writer.write(bytes);
    writer.commit();
}

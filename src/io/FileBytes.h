#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSaveFile>
#include <QString>
#include <functional>

class QIODevice;

// Reading a file whole, and replacing a file as a whole: the one place where
// the program's files meet the disk.

// "Cannot open file "<path>". <reason>": a file that cannot be read.
QString CannotOpenFileMessage(const QString &path, const QString &reason);

// "Cannot create file "<path>". <reason>": a file that cannot be created or written.
QString CannotCreateFileMessage(const QString &path, const QString &reason);

// The reason given for a path that names no regular file to read.
QString NotARegularFileReason();

// The most a storm or options file may hold. Either is a few hundred bytes; a
// larger file is not one of them, and reading it whole would only cost memory.
inline constexpr qint64 SmallFileLimit = 1024 * 1024;

// The whole content of the regular file at `path`, of at most `maxBytes`
// bytes. Opens without blocking, so a FIFO or a device never stalls the
// program. Raises PluvionError CannotOpenFileMessage with the system's reason
// when the file cannot be opened or read, and with kind UnusableFile and the
// reason when it is not a regular file or holds more than `maxBytes`.
QByteArray ReadFileBytes(const QString &path, qint64 maxBytes = SmallFileLimit);

// Reads the regular file at `path` of at most `maxBytes` bytes in pieces of
// about `chunkBytes`, handing each to `consume` in order, so that a file far
// larger than the memory one piece needs can be read. The same checks and
// failures as ReadFileBytes.
void ReadFileInChunks(const QString &path, qint64 maxBytes, qsizetype chunkBytes,
                      const std::function<void(QByteArrayView)> &consume);

// A regular file of at most `maxBytes` bytes opened for reading pieces at any
// offset, so that threads can read parts of a large file at once. The same
// checks and failures as ReadFileBytes; its size is the file's when opened.
class FilePieces
{
public:
    FilePieces(const QString &path, qint64 maxBytes);
    ~FilePieces();
    FilePieces(const FilePieces &) = delete;
    FilePieces &operator=(const FilePieces &) = delete;

    qint64 size() const { return m_size; }
    // Reads up to `size` bytes at `offset` into `data`: fewer only at the file's end.
    qsizetype read(qint64 offset, char *data, qsizetype size) const;

private:
    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
};

// Writes every byte to the device, repeating short writes. False when a write
// fails or stops making progress; the device's errorString() tells why.
bool WriteAllBytes(QIODevice &device, QByteArrayView bytes);

// A file written in pieces that takes its target's place only when complete.
// The bytes go to a temporary file beside the target; commit() renames it over
// the target, and a writer destroyed without commit() removes it, so any
// failure, a thrown exception included, leaves a previous file as it was.
//
// Unbuffered, so that every write reports what reached the file: a buffered
// QSaveFile flushes inside commit() and lets a short write there (a full disk,
// a file-size limit) pass as success, which would install a cut-off file.
//
// A target that exists and is not a regular file (a device, a FIFO, a
// socket; a symbolic link is judged by what it points to) is never replaced,
// and neither is a link that points nowhere: both raise PluvionError of kind
// UnusableFile naming the file. Every other failure raises PluvionError
// CannotCreateFileMessage naming the target.
class FileWriter
{
public:
    // Opens the temporary file for `path`.
    explicit FileWriter(const QString &path);
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    // Appends `chunk` to the new content.
    void write(QByteArrayView chunk);
    // Puts the new content in the target's place.
    void commit();

    const QString &path() const { return m_path; }

private:
    [[noreturn]] void fail();

    QString m_path;
    QSaveFile m_file;
};

// Checks, before anything is written, that a file can be put at `path`: its
// folder exists and the target is a regular file or nothing yet. Raises the
// PluvionError FileWriter would raise for it (CannotCreateFileMessage with the
// reason, or UnusableFile for a device, a FIFO, a socket or a dangling link).
// A command that writes several files checks them all first, so a run that
// fails on one of its targets replaces none.
void CheckTarget(const QString &path);

// Writes `bytes` as the whole content of the file at `path`, creating it or
// replacing it in one step (see FileWriter).
void WriteFileBytes(const QString &path, QByteArrayView bytes);

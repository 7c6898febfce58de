#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <vector>

class QIODevice;

// Reading a file whole, and replacing a file as a whole: the one place where
// the program's files meet the disk.

// "无法读取文件“<path>”：<reason>": a file that cannot be read.
QString CannotOpenFileMessage(const QString &path, const QString &reason);

// "无法写入文件“<path>”：<reason>": a file that cannot be created or written.
QString CannotCreateFileMessage(const QString &path, const QString &reason);

// The system's reason for a failed file operation (an errno value), in the
// program's words: "没有权限。", "磁盘已满。"; an error it has no words for
// is named by its number and the system's text.
QString SystemErrorReason(int error);

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

class FileStage;

// Where a write goes: the file's path, and the stage that puts it in place
// together with the other files of the same run, or none to put it in place
// as soon as it is complete. A path converts to a target of its own.
struct FileTarget
{
    FileTarget(const QString &path) : path(path) {} // NOLINT: a path is a target of its own
    FileTarget(const QString &path, FileStage *stage) : path(path), stage(stage) {}

    QString path;
    FileStage *stage = nullptr;
};

// A file written in pieces that takes its target's place only when complete.
// The bytes go to a temporary file beside the target (with the target's
// permissions when it exists); commit() renames it over the target, and a
// writer destroyed without commit() removes it, so any failure, a thrown
// exception included, leaves a previous file as it was. A target that is a
// symbolic link has the file it points to replaced.
//
// Every write is checked, and commit() puts the bytes on the disk and closes
// the file before anything is renamed, so a full disk or a file-size limit
// fails the write instead of installing a cut-off file.
//
// With a stage, commit() hands the complete file to the stage, which puts it
// in place with the others of its run (FileStage::commit()).
//
// A target that exists and is not a regular file (a device, a FIFO, a
// socket; a symbolic link is judged by what it points to) is never replaced,
// and neither is a link that points nowhere: both raise PluvionError of kind
// UnusableFile naming the file. Every other failure raises PluvionError
// CannotCreateFileMessage naming the target.
class FileWriter
{
public:
    // Opens the temporary file for the target.
    explicit FileWriter(const FileTarget &target);
    ~FileWriter();
    FileWriter(const FileWriter &) = delete;
    FileWriter &operator=(const FileWriter &) = delete;

    // Appends `chunk` to the new content.
    void write(QByteArrayView chunk);
    // Puts the new content in the target's place, or hands it to the stage.
    void commit();

    const QString &path() const { return m_path; }

private:
    [[noreturn]] void fail(int error);
    void close();
    void discard();

    QString m_path;
    FileStage *m_stage = nullptr;
    QByteArray m_final; // the file replaced: the target, or the file a link points to
    QByteArray m_temporary;
    int m_descriptor = -1;
};

// The files of one run, each complete beside its target, put in place
// together: a run that fails before commit() leaves every target as it was,
// and its temporary files are removed when the stage goes.
class FileStage
{
public:
    FileStage() = default;
    ~FileStage();
    FileStage(const FileStage &) = delete;
    FileStage &operator=(const FileStage &) = delete;

    // Renames every staged file over its target, in the order staged, after
    // checking once more that no target has become something that must not
    // be replaced. Raises PluvionError as FileWriter does; a rename failing
    // after others succeeded (which only a change to the folders while the
    // run ends can cause) names its file.
    void commit();

    // Removes every staged file that is not yet in place.
    void discard();

    // How many files are staged.
    size_t size() const { return m_files.size(); }

private:
    friend class FileWriter;
    struct Staged
    {
        QString path;
        QByteArray final;
        QByteArray temporary;
    };
    void adopt(Staged file);

    std::vector<Staged> m_files;
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
void WriteFileBytes(const FileTarget &target, QByteArrayView bytes);

// What names one file, for telling whether two paths name the same one:
// an existing file by its device and inode (so "./x.csv", "x.csv", a link
// to it and a hard link agree), a file not there yet by its folder's
// canonical path and its name. Empty when the path's folder does not exist.
QString FileIdentity(const QString &path);

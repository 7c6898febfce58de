// The one reader and the one writer: what they refuse to read or replace.
#include "io/FileBytes.h"

#include "export/DataDocument.h"
#include "export/WordTemplate.h"
#include "io/StormFile.h"
#include "io/ViewOptions.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <iostream>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

class FileBytesTest : public ::testing::Test
{
protected:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    void writeBytes(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    QByteArray readBytes(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // The targets that are there and are no regular file: a FIFO, a link to
    // it, a link to nothing, and (as root only) a character device.
    QStringList specialTargets() const
    {
        QStringList names{QStringLiteral("fifo"), QStringLiteral("link-to-fifo"), QStringLiteral("dangling")};
        EXPECT_EQ(::mkfifo(QFile::encodeName(path("fifo")).constData(), 0666), 0);
        EXPECT_TRUE(QFile::link(path("fifo"), path("link-to-fifo")));
        EXPECT_TRUE(QFile::link(path("nowhere"), path("dangling")));
        if (::geteuid() == 0 &&
            ::mknod(QFile::encodeName(path("null")).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
            names.append(QStringLiteral("null"));
        return names;
    }

    QTemporaryDir m_dir;
};

TEST_F(FileBytesTest, WritersNeverReplaceWhatIsNoRegularFile)
{
    const QStringList names = specialTargets();
    if (!names.contains(QStringLiteral("null")))
        std::cout << "[ note ] the device-node case needs root; it was left out\n";
    for (const QString &name : names) {
        SCOPED_TRACE(name.toStdString());
        const struct
        {
            const char *what;
            std::function<void()> write;
        } writers[] = {
            {"bytes", [&] { WriteFileBytes(path(name), "x"); }},
            {"storm", [&] { WriteStormFile(path(name), StartUpStorm(), Separators{}); }},
            {"word", [&] { WriteDataDocument(path(name), {}, 1); }},
        };
        for (const auto &writer : writers) {
            try {
                writer.write();
                ADD_FAILURE() << writer.what << ": no error";
            } catch (const PluvionError &e) {
                EXPECT_EQ(e.kind(), PluvionErrorKind::UnusableFile) << writer.what;
                EXPECT_TRUE(e.description().contains(QDir::toNativeSeparators(path(name)))) << e.what();
            }
        }
        // The options file keeps the path in its own message.
        try {
            SaveOptions(ViewOptions{}, path(name));
            ADD_FAILURE() << "options: no error";
        } catch (const PluvionError &e) {
            EXPECT_TRUE(e.description().startsWith(QStringLiteral("Unable to write to ") + path(name)));
        }
        const QFileInfo after(path(name));
        EXPECT_FALSE(after.exists() && after.isFile()) << "replaced by a regular file";
    }
    // Nothing was left beside them.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size(),
              names.size());
}

TEST_F(FileBytesTest, ReadersTakeSmallRegularFilesOnly)
{
    const QStringList names = specialTargets();
    writeBytes("big.txt", QByteArray(SmallFileLimit + 1, 'x'));
    for (const QString &name : names + QStringList{QStringLiteral("big.txt")}) {
        SCOPED_TRACE(name.toStdString());
        // A FIFO with no writer would block a plain open forever.
        for (const auto &read : std::initializer_list<std::function<void()>>{
                 [&] { ReadFileBytes(path(name)); }, [&] { FilePieces(path(name), SmallFileLimit); }}) {
            try {
                read();
                ADD_FAILURE() << "no error";
            } catch (const PluvionError &e) {
                EXPECT_TRUE(e.description().startsWith(CannotOpenFileMessage(path(name), {})));
            }
        }
        ViewOptions options;
        options.Precision = 9;
        const std::optional<QString> failure = LoadOptions(options, path(name));
        EXPECT_EQ(options, ViewOptions());                                 // the defaults
        EXPECT_EQ(failure.has_value(), name != QLatin1String("dangling")); // a link to nothing is no file
    }
    Storm storm = StartUpStorm();
    try {
        ReadStormFile(path("big.txt"), storm, Separators{});
        ADD_FAILURE() << "no error";
    } catch (const PluvionError &e) {
        EXPECT_TRUE(e.description().startsWith(QStringLiteral("该文件不包含正确的数据格式，请确认后重试~")))
            << e.what();
        EXPECT_EQ(e.kind(), PluvionErrorKind::UnusableFile);
    }
    writeBytes("limit.txt", QByteArray(SmallFileLimit, 'x'));
    EXPECT_EQ(ReadFileBytes(path("limit.txt")).size(), SmallFileLimit);

    // Pieces at any offset, fewer bytes only at the end.
    writeBytes("pieces.txt", "0123456789");
    const FilePieces pieces(path("pieces.txt"), SmallFileLimit);
    char piece[8] = {};
    EXPECT_EQ(pieces.size(), 10);
    EXPECT_EQ(pieces.read(3, piece, 4), 4);
    EXPECT_EQ(QByteArray(piece, 4), "3456");
    EXPECT_EQ(pieces.read(7, piece, 8), 3);
    EXPECT_EQ(QByteArray(piece, 3), "789");
}

TEST_F(FileBytesTest, WordTablesOverTheLimitAreRefusedAndNothingIsWritten)
{
    const TableRows rows(WordTableRowLimit + 1, TableRow{"00:00", "0.1", "0.1"});
    try {
        WriteDataDocument(path("data.docx"), rows, 1);
        ADD_FAILURE() << "no error";
    } catch (const PluvionError &e) {
        EXPECT_EQ(e.description(),
                  QStringLiteral("表格有 100001 行，超过Word文档的上限 100000 "
                                 "行。请缩短降雨历时或加大计算步长，或者保存为CSV（Excel格式）。"));
    }
    EXPECT_TRUE(QDir(m_dir.path()).isEmpty());
    EXPECT_NO_THROW(InsertTableRows("<!--雨量计算数据表格-->", "%s%s%s", rows.first(WordTableRowLimit)));
}

TEST_F(FileBytesTest, OptionsFileKeepsItsByteOrderMarkAndIsNotRewrittenUnchanged)
{
    writeBytes("options.ini", "\xEF\xBB\xBF[OPTIONS]\r\nPrecision=6\r\n");
    ViewOptions options;
    ASSERT_FALSE(LoadOptions(options, path("options.ini")));
    EXPECT_EQ(options.Precision, 6);
    SaveOptions(options, path("options.ini"));
    const QByteArray saved = readBytes("options.ini");
    EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[OPTIONS]\r\nPrecision=6\r\n")) << saved.toStdString();
    EXPECT_EQ(saved.count("[OPTIONS]"), 1);

    // A read-only file that already holds these options is no failure. (The
    // folder is made read-only too: root may still write into it, and then
    // the test shows only that the bytes stayed the same.)
    ASSERT_TRUE(QFile::setPermissions(path("options.ini"), QFile::ReadOwner));
    EXPECT_NO_THROW(SaveOptions(options, path("options.ini")));
    EXPECT_EQ(readBytes("options.ini"), saved);
    QFile::setPermissions(path("options.ini"), QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

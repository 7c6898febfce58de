#include "program/ManualLookup.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

void Touch(const QString &path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(ManualLookup, MatchesTheNamePatternWithoutRegardToCase)
{
    for (const QString &name : {u"软件说明书.pdf"_s, u"软件说明书V2.PDF"_s, u"软件说明书 2024版.Pdf"_s}) {
        SCOPED_TRACE(name.toStdString());
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        Touch(folder.filePath(name));
        EXPECT_EQ(FindManual(folder.path()), folder.filePath(name));
    }
}

TEST(ManualLookup, IgnoresOtherNamesFoldersAndSubFolders)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    Touch(dir.filePath(u"说明书.pdf"_s));
    Touch(dir.filePath(u"x软件说明书.pdf"_s));
    Touch(dir.filePath(u"软件说明书.pdf.txt"_s));
    Touch(dir.filePath(u"软件说明书.pd"_s));
    ASSERT_TRUE(dir.mkdir(u"软件说明书目录.pdf"_s));
    ASSERT_TRUE(dir.mkdir(u"sub"_s));
    Touch(dir.filePath(u"sub/软件说明书.pdf"_s));

    EXPECT_EQ(FindManual(folder.path()), QString());
    EXPECT_EQ(FindManual(dir.filePath(u"missing"_s)), QString());

    // Found at the next look-up once one is copied beside the program.
    Touch(dir.filePath(u"软件说明书.pdf"_s));
    EXPECT_EQ(FindManual(folder.path()), dir.filePath(u"软件说明书.pdf"_s));
}

TEST(ManualLookup, OfSeveralTheFirstByName)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QDir dir(folder.path());
    Touch(dir.filePath(u"软件说明书V2.PDF"_s));
    Touch(dir.filePath(u"软件说明书b.pdf"_s));
    Touch(dir.filePath(u"软件说明书A.pdf"_s));
    EXPECT_EQ(FindManual(folder.path()), dir.filePath(u"软件说明书A.pdf"_s));
}

} // namespace

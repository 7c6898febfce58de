#include "io/StormFile.h"

#include "TempFolder.h"
#include "io/FileBytes.h"
#include "io/LegacyText.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>

namespace {

// GBK bytes of the file's Chinese texts.
const QByteArray GbkVisit = QByteArray::fromHex("b7c3ceca");                             // 访问
const QByteArray GbkMoreTools = QByteArray::fromHex("bbf1c8a1b8fcb6e0cab5d3c3b9a4bedf"); // 获取更多实用工具
const QByteArray GbkRepeatYear = QByteArray::fromHex("d6d8cfd6c6da");                    // 重现期
const QByteArray GbkTime = QByteArray::fromHex("bdb5d3eac0facab1");                      // 降雨历时
const QByteArray GbkPercent = QByteArray::fromHex("b7e5d6b5b1c8c0fd");                   // 峰值比例
const QByteArray GbkStep = QByteArray::fromHex("bcc6cbe3b2bdb3a4");                      // 计算步长

QString SignLine()
{
    return QStringLiteral("SIGN=") + QStringLiteral("访问http://www.quillfen.com获取更多实用工具~");
}

// A storm in the flow form, with results that reading must leave alone.
Storm FlowFormStorm()
{
    Storm s;
    s.form = FormulaForm::Flow;
    s.a1Flow = 1667;
    s.a1 = 10.002;
    s.c = 0.5;
    s.b = 12.25;
    s.n = 0.71;
    s.log = Logarithm::Ln;
    s.period = 50;
    s.duration = 180;
    s.step = 5;
    s.peakRatio = 0.35;
    s.averageIntensity = 1.5;
    s.totalDepth = 270;
    return s;
}

// A storm to read into: every field differs from FlowFormStorm.
Storm ReadTarget()
{
    Storm s = StartUpStorm();
    s.averageIntensity = 7;
    s.totalDepth = 8;
    return s;
}

// The parameters of FlowFormStorm, as the reader expects them after reading
// into ReadTarget (the results stay those of the target).
Storm FlowFormStormAsRead()
{
    Storm s = FlowFormStorm();
    s.averageIntensity = ReadTarget().averageIntensity;
    s.totalDepth = ReadTarget().totalDepth;
    return s;
}

// The eleven value lines of FlowFormStorm, keyed, with some lines replaced
// (an empty replacement drops the line); the SIGN line comes first.
QStringList FlowFormLines(const std::map<QString, QString> &replaced = {})
{
    const std::pair<QString, QString> values[] = {
        {"F_type", "1"},     {"a1_167", "1667"},   {"a1", "10.002"},  {"c", "0.5"},
        {"b", "12.25"},      {"n", "0.71"},        {"LG_LN", "1"},    {"重现期", "50"},
        {"降雨历时", "180"}, {"峰值比例", "0.35"}, {"计算步长", "5"},
    };
    QStringList lines{SignLine()};
    for (const auto &[key, value] : values) {
        const auto found = replaced.find(key);
        if (found == replaced.end())
            lines << key + u'=' + value;
        else if (!found->second.isEmpty())
            lines << found->second;
    }
    return lines;
}

using StormFileTest = TempFolderTest;

TEST_F(StormFileTest, DefaultStormIsWrittenAsTwelveGbkLinesEndingInCrLf)
{
    WriteStormFile(path("storm.txt"), StartUpStorm(), Separators{});

    const QByteArray expected = "SIGN=" + GbkVisit + "http://www.quillfen.com" + GbkMoreTools +
                                "~\r\n"
                                "F_type=0\r\n"
                                "a1_167=1599.68333333333\r\n"
                                "a1=9.5981\r\n"
                                "c=0.846\r\n"
                                "b=7\r\n"
                                "n=0.656\r\n"
                                "LG_LN=0\r\n" +
                                GbkRepeatYear + "=2\r\n" + GbkTime + "=120\r\n" + GbkPercent + "=0.4\r\n" +
                                GbkStep + "=1\r\n";
    EXPECT_EQ(readBytes("storm.txt"), expected);
}

TEST_F(StormFileTest, WrittenStormReadsBackUnderTheSameDecimalSeparator)
{
    for (const QChar decimal : {QChar(u'.'), QChar(u',')}) {
        SCOPED_TRACE(QString(decimal).toStdString());
        const Separators sep{decimal, u':'};
        WriteStormFile(path("storm.txt"), FlowFormStorm(), sep);
        EXPECT_TRUE(readBytes("storm.txt").contains("a1=10" + QString(decimal).toLatin1() + "002\r\n"));

        Storm storm = ReadTarget();
        EXPECT_EQ(ReadStormFile(path("storm.txt"), storm, sep), StormFileReadResult::Read);
        EXPECT_EQ(storm, FlowFormStormAsRead());
    }
}

TEST(StormFileTargetTest, AppendsTxtUnlessTheNameEndsInIt)
{
    const std::pair<QString, QString> cases[] = {
        {"storm", "storm.txt"},
        {"storm.txt", "storm.txt"},
        {"storm.TXT", "storm.TXT"},
        {"storm.dat", "storm.dat.txt"},
        {"/data/my.storms/storm", "/data/my.storms/storm.txt"},
        {"/data/old.txt/storm", "/data/old.txt/storm.txt"},
    };
    for (const auto &[chosen, target] : cases)
        EXPECT_EQ(StormFileTarget(chosen), target) << chosen.toStdString();
}

TEST(StormFileParseTest, KeysAreFoundByTheirFirstLineWhateverTheCaseAndOrder)
{
    const QStringList lines{
        "n=0.71",
        "a note without an equals sign",
        "",
        "A1=10.002",
        "sign=" + QStringLiteral("访问http://www.quillfen.com获取更多实用工具~"),
        "重现期=50",
        "c=0.5",
        "f_type=1",
        "Lg_Ln=1",
        "降雨历时=180",
        "B= 12.25 ",
        "A1_167=1667",
        "峰值比例=0.35",
        "计算步长=5",
        "a1=99",
        "other=3",
    };
    Storm storm = ReadTarget();
    EXPECT_EQ(ParseStormText(lines, storm, Separators{}), StormFileReadResult::Read);
    EXPECT_EQ(storm, FlowFormStormAsRead());
}

TEST(StormFileParseTest, FileWithoutFormTypeIsInTheIntensityForm)
{
    Storm storm = ReadTarget();
    // The a1_167 line of such a file is ignored.
    ParseStormText(FlowFormLines({{"F_type", ""}}), storm, Separators{});

    Storm expected = FlowFormStormAsRead();
    expected.form = FormulaForm::Intensity;
    expected.a1Flow = 10.002 / FlowFormFactor;
    EXPECT_EQ(storm, expected);
}

TEST(StormFileParseTest, LogarithmKeepsTheLowEightBits)
{
    const std::pair<QString, int> cases[] = {{"257", 1}, {"-1", 255}, {"256", 0}, {"2", 2}};
    for (const auto &[text, expected] : cases) {
        Storm storm = ReadTarget();
        ParseStormText(FlowFormLines({{"LG_LN", "LG_LN=" + text}}), storm, Separators{});
        EXPECT_EQ(static_cast<int>(storm.log), expected) << text.toStdString();
    }
}

TEST(StormFileParseTest, FileWithoutTheSignatureIsRefusedAndChangesNothing)
{
    const QString signature = QStringLiteral("访问http://www.quillfen.com获取更多实用工具~");
    const QString cases[] = {"", "SIGN=", "SIGN=" + signature + " ", "SIGN =" + signature,
                             "SIGN=" + signature.toUpper()};
    for (const QString &signLine : cases) {
        QStringList lines = FlowFormLines();
        lines[0] = signLine;
        Storm storm = ReadTarget();
        EXPECT_EQ(ParseStormText(lines, storm, Separators{}), StormFileReadResult::NotAStormFile)
            << signLine.toStdString();
        EXPECT_EQ(storm, ReadTarget());
    }
}

TEST(StormFileParseTest, FirstValueThatFailsIsReportedAndTheStormIsUntouched)
{
    struct Case
    {
        std::map<QString, QString> replaced;
        QString message;
    };
    const QString floatError = QStringLiteral("'%1' is not a valid floating point value");
    const QString intError = QStringLiteral("'%1' is not a valid integer value");
    const Case cases[] = {
        {{{"a1", "a1 = 10.002"}}, floatError.arg("")},
        {{{"a1", ""}}, floatError.arg("")},
        {{{"计算步长", "计算步长=1.5"}}, intError.arg("1.5")},
        {{{"a1_167", ""}}, floatError.arg("")},
        {{{"峰值比例", "峰值比例=0,35"}}, floatError.arg("0,35")},
        {{{"c", "c=x"}, {"计算步长", "计算步长=y"}}, floatError.arg("x")},
        {{{"LG_LN", "LG_LN=1.0"}, {"重现期", "重现期=z"}}, intError.arg("1.0")},
        {{{"计算步长", "计算步长=y"}, {"F_type", "F_type=q"}}, intError.arg("y")},
        {{{"F_type", "F_type="}, {"a1_167", "a1_167=w"}}, intError.arg("")},
    };
    for (const Case &c : cases) {
        Storm storm = ReadTarget();
        EXPECT_EQ(ErrorOf([&] { ParseStormText(FlowFormLines(c.replaced), storm, Separators{}); }),
                  c.message);
        EXPECT_EQ(storm, ReadTarget());
    }
}

TEST_F(StormFileTest, BlockModeAddsItsKeyAndReadsBack)
{
    Storm block = FlowFormStorm();
    block.mode = CalcMode::Block;
    WriteStormFile(path("block.txt"), block, Separators{});
    const QByteArray bytes = readBytes("block.txt");
    // The default storm's twelve lines, then the mode.
    WriteStormFile(path("instant.txt"), FlowFormStorm(), Separators{});
    EXPECT_EQ(bytes, readBytes("instant.txt") + QByteArray::fromHex("bcc6cbe3c4a3cabd") + "=1\r\n");

    Storm storm = ReadTarget();
    ASSERT_EQ(ReadStormFile(path("block.txt"), storm, Separators{}), StormFileReadResult::Read);
    Storm expected = FlowFormStormAsRead();
    expected.mode = CalcMode::Block;
    EXPECT_EQ(storm, expected);

    // A file without the key is in the default mode, whatever the storm was in.
    ASSERT_EQ(ReadStormFile(path("instant.txt"), storm, Separators{}), StormFileReadResult::Read);
    EXPECT_EQ(storm.mode, CalcMode::Instant);
}

TEST(StormFileParseTest, BadModeIsReportedAndTheStormIsUntouched)
{
    const std::pair<QString, QString> cases[] = {
        {"x", QStringLiteral("'x' is not a valid integer value")},
        {"", QStringLiteral("'' is not a valid integer value")},
        {"1.0", QStringLiteral("'1.0' is not a valid integer value")},
        {"7", QStringLiteral("计算模式 '7' 无效：应为 0（瞬时雨强）或 1（时段平均）")},
    };
    for (const auto &[value, message] : cases) {
        Storm storm = ReadTarget();
        storm.mode = CalcMode::Block;
        const Storm before = storm;
        EXPECT_EQ(
            ErrorOf([&] { ParseStormText(FlowFormLines() << "计算模式=" + value, storm, Separators{}); }),
            message);
        EXPECT_EQ(storm, before);
        EXPECT_EQ(storm.mode, CalcMode::Block);
    }
}

TEST_F(StormFileTest, FileIsDecodedByItsByteOrderMarkAndSplitAtAnyLineEnd)
{
    const QString text = FlowFormLines().join("\r\n");
    const QByteArray gbk = EncodeLegacyLines(FlowFormLines());
    QByteArray crOnly = gbk;
    crOnly.replace("\r\n", "\r");
    QByteArray lfOnly = gbk;
    lfOnly.replace("\r\n", "\n");
    const QByteArray utf16le = QStringEncoder(QStringConverter::Utf16LE).encode(text);
    const QByteArray utf16be = QStringEncoder(QStringConverter::Utf16BE).encode(text);

    struct Case
    {
        const char *name;
        QByteArray bytes;
        StormFileReadResult result;
    };
    const Case cases[] = {
        {"GBK, CR only", crOnly, StormFileReadResult::Read},
        {"GBK, LF only", lfOnly, StormFileReadResult::Read},
        {"GBK, no end on the last line", gbk.chopped(2), StormFileReadResult::Read},
        {"UTF-8 without mark", text.toUtf8(), StormFileReadResult::NotAStormFile},
        {"UTF-8 with mark", "\xEF\xBB\xBF" + text.toUtf8(), StormFileReadResult::Read},
        {"UTF-16LE with mark", "\xFF\xFE" + utf16le, StormFileReadResult::Read},
        {"UTF-16BE with mark", "\xFE\xFF" + utf16be, StormFileReadResult::Read},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes("storm.txt", c.bytes);
        Storm storm = ReadTarget();
        EXPECT_EQ(ReadStormFile(path("storm.txt"), storm, Separators{}), c.result);
        EXPECT_EQ(storm, c.result == StormFileReadResult::Read ? FlowFormStormAsRead() : ReadTarget());
    }
}

TEST(LegacyTextTest, LineEndsAndCharactersOutsideGbk)
{
    EXPECT_EQ(DecodeLegacyLines("a\r\n\r\nb\rc\n\nd"), QStringList({"a", "", "b", "c", "", "d"}));
    EXPECT_EQ(DecodeLegacyLines(""), QStringList());
    // A second mark after the first belongs to the text.
    EXPECT_EQ(DecodeLegacyLines("\xEF\xBB\xBF\xEF\xBB\xBFx"), QStringList({QString(QChar(0xFEFF)) + "x"}));
    // GBK has no emoji: it becomes '?', the rest is kept.
    EXPECT_EQ(EncodeLegacyLines({QStringLiteral("雨\U0001F327x")}), QByteArray("\xD3\xEA?x\r\n"));
}

TEST_F(StormFileTest, UnreadableFileIsReportedWithTheSystemsReason)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.txt"));
    for (const QString &name : {QStringLiteral("missing.txt"), QStringLiteral("folder.txt")}) {
        const QString reason =
            name == QLatin1String("folder.txt") ? NotARegularFileReason() : SystemErrorReason(ENOENT);
        const QString expected = CannotOpenFileMessage(path(name), reason);

        Storm storm = ReadTarget();
        EXPECT_EQ(ErrorOf([&] { ReadStormFile(path(name), storm, Separators{}); }), expected);
        EXPECT_EQ(storm, ReadTarget());
    }
}

TEST_F(StormFileTest, FailedSaveIsReportedAndLeavesWhatWasThere)
{
    writeBytes("plain", "previous");
    ASSERT_TRUE(QDir(m_dir.path()).mkpath("folder.txt/inside"));

    for (const QString &name : {QStringLiteral("plain/storm.txt"), QStringLiteral("folder.txt")}) {
        const QString expected = CannotCreateFileMessage(path(name), WriteFailureReason(name));

        EXPECT_EQ(ErrorOf([&] { WriteStormFile(path(name), StartUpStorm(), Separators{}); }), expected);
    }
    EXPECT_EQ(readBytes("plain"), "previous");
    EXPECT_TRUE(QFileInfo(path("folder.txt/inside")).isDir());
}

#ifdef Q_OS_UNIX
// A write that breaks off midway (here: a file-size limit, which binds root
// too) must not cost the user the file that was there before.
TEST_F(StormFileTest, WriteThatBreaksOffKeepsThePreviousFile)
{
    WriteStormFile(path("storm.txt"), FlowFormStorm(), Separators{});
    const QByteArray previous = readBytes("storm.txt");

    QString error;
    {
        const FileSizeLimit limit(16);
        ASSERT_TRUE(limit.active());
        error = ErrorOf([&] { WriteStormFile(path("storm.txt"), StartUpStorm(), Separators{}); });
    }

    const QString prefix = CannotCreateFileMessage(path("storm.txt"), {});
    EXPECT_TRUE(error.startsWith(prefix) && error.size() > prefix.size()) << error.toStdString();
    EXPECT_EQ(readBytes("storm.txt"), previous);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files), QStringList({"storm.txt"}));
}
#endif

} // namespace

// A file saved by an earlier build, kept as bytes: every build opens it and
// writes the same storm back byte for byte, whatever web address it was
// configured with.
TEST_F(StormFileTest, SavedFileOfTheFormatOpensAndIsWrittenAgainUnchanged)
{
    const QString fixture = QStringLiteral(PLUVION_TEST_DATA "/flow-ln-block.storm.txt");
    Storm storm = StartUpStorm();
    ASSERT_EQ(ReadStormFile(fixture, storm, Separators{}), StormFileReadResult::Read);
    Storm expected = StartUpStorm();
    expected.form = FormulaForm::Flow;
    expected.setA1Flow(1667);
    expected.log = Logarithm::Ln;
    expected.period = 5;
    expected.duration = 90.7;
    expected.step = 7;
    expected.mode = CalcMode::Block;
    EXPECT_EQ(storm, expected);

    WriteStormFile(path("again.txt"), storm, Separators{});
    QFile original(fixture);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(readBytes("again.txt"), original.readAll());
}

// The options file on arbitrary bytes: saving the options into whatever
// file is there and loading them again gives the same values back, and every
// line the options do not own keeps its bytes and its line end.

#include "FuzzSupport.h"
#include "io/ViewOptions.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cctype>
#include <string>
#include <vector>

namespace {

const char *const OptionKeys[] = {
    "ShowLabel_P",
    "ShowLabel_T",
    "ShowLabel_R",
    "ShowLabel__Overall_Rainfall",
    "ShowLabel_Average",
    "ShowAxis_Overall",
    "ShowAxis_Intensity",
    "CalcByShow",
    "Precision",
    "TimeFormat",
    "ShowLabel_Formula_Depth",
};
// The keys every save writes; the formula-depth key (last above) only when
// the file has it or the label is off.
constexpr int AlwaysWrittenCount = 10;

struct Line
{
    std::string text;
    std::string ending;
};

// Lines end at CR LF, a lone CR or a lone LF, as the options file reads them.
std::vector<Line> SplitLines(const std::string &bytes)
{
    std::vector<Line> lines;
    size_t start = 0;
    size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        const size_t length = (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        lines.push_back({bytes.substr(start, i - start), bytes.substr(i, length)});
        i += length;
        start = i;
    }
    if (start < bytes.size())
        lines.push_back({bytes.substr(start), std::string()});
    return lines;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

std::string Trim(const std::string &text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool SameName(const std::string &a, const char *b)
{
    // The keys and the section name are ASCII; no other Latin-1 letter
    // folds to an ASCII one.
    const size_t length = std::strlen(b);
    if (a.size() != length)
        return false;
    for (size_t i = 0; i < length; ++i) {
        const unsigned char x = static_cast<unsigned char>(a[i]);
        const unsigned char y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y) || x >= 128)
            return false;
    }
    return true;
}

enum class Kind
{
    Other,
    Section,
    Key
};

Kind KindOf(const std::string &text, std::string *name)
{
    const std::string line = Trim(text);
    if (line.empty() || line[0] == ';')
        return Kind::Other;
    if (line[0] == '[') {
        const size_t close = line.rfind(']');
        if (close != std::string::npos && close > 0) {
            *name = Trim(line.substr(1, close - 1));
            return Kind::Section;
        }
    }
    const size_t equals = line.find('=');
    if (equals == std::string::npos)
        return Kind::Other;
    *name = Trim(line.substr(0, equals));
    return Kind::Key;
}

bool IsOptionKeyLine(const std::string &text)
{
    std::string name;
    if (KindOf(text, &name) != Kind::Key)
        return false;
    for (const char *key : OptionKeys) {
        if (SameName(name, key))
            return true;
    }
    return false;
}

bool IsOptionsHeader(const std::string &text)
{
    std::string name;
    return KindOf(text, &name) == Kind::Section && SameName(name, "OPTIONS");
}

// The lines that saving rewrites: in the first OPTIONS section, the first
// line of each key. *hasSection tells whether there is one.
std::vector<bool> RewrittenLines(const std::vector<Line> &lines, bool *hasSection)
{
    std::vector<bool> rewritten(lines.size(), false);
    size_t header = 0;
    while (header < lines.size() && !IsOptionsHeader(lines[header].text))
        ++header;
    *hasSection = header < lines.size();
    if (!*hasSection)
        return rewritten;
    size_t end = header + 1;
    std::string name;
    while (end < lines.size() && KindOf(lines[end].text, &name) != Kind::Section)
        ++end;
    for (const char *key : OptionKeys) {
        for (size_t i = header + 1; i < end; ++i) {
            if (KindOf(lines[i].text, &name) == Kind::Key && SameName(name, key)) {
                rewritten[i] = true;
                break;
            }
        }
    }
    return rewritten;
}

std::string ReadAll(const QString &path)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly), "cannot read back %s", Utf8(path).c_str());
    return file.readAll().toStdString();
}

QString OptionsPath()
{
    // One folder for the whole run, in memory where the system has it; it
    // goes when the run ends.
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists()
                                    ? QStringLiteral("/dev/shm/pluvion-fuzz-XXXXXX")
                                    : QDir::tempPath() + QStringLiteral("/pluvion-fuzz-XXXXXX"));
    FUZZ_CHECK(folder.isValid(), "no temporary folder");
    return folder.filePath(QStringLiteral("options.ini"));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    FuzzedDataProvider data(bytes, size);
    ViewOptions options;
    const uint8_t flags = data.ConsumeIntegral<uint8_t>();
    options.ShowLabel_P = flags & 1;
    options.ShowLabel_T = flags & 2;
    options.ShowLabel_R = flags & 4;
    options.ShowLabel__Overall_Rainfall = flags & 8;
    options.ShowLabel_Average = flags & 16;
    options.ShowAxis_Overall = flags & 32;
    options.ShowAxis_Intensity = flags & 64;
    options.CalcByShow = flags & 128;
    options.ShowLabel_Formula_Depth = data.ConsumeBool();
    options.Precision = data.ConsumeIntegral<int32_t>();
    options.TimeFormat = TimeColumn(data.ConsumeIntegral<int32_t>());
    const bool noFile = data.ConsumeIntegral<uint8_t>() == 0xA5;
    const std::string original = data.ConsumeRemainingBytesAsString();

    const QString path = OptionsPath();
    QFile::remove(path);
    if (!noFile) {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly), "cannot write the options file");
        FUZZ_CHECK(file.write(original.data(), qint64(original.size())) == qint64(original.size()),
                   "short write");
    }

    // Whatever the file holds, loading it gives options and never fails.
    ViewOptions before;
    LoadOptions(before, path);

    try {
        SaveOptions(options, path);
    } catch (const PluvionError &error) {
        FUZZ_CHECK(false, "saving failed: %s", Utf8(error.description()).c_str());
    }
    ViewOptions loaded;
    loaded.ShowLabel_P = !options.ShowLabel_P;
    loaded.Precision = ~options.Precision;
    LoadOptions(loaded, path);
    FUZZ_CHECK(loaded == options, "the saved options do not load back");

    // A UTF-8 byte-order mark is no part of the first line, and it is kept.
    const auto withoutMark = [](std::string bytes) {
        if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
            bytes.erase(0, 3);
        return bytes;
    };
    const std::string written = ReadAll(path);
    FUZZ_CHECK(noFile || (original.rfind("\xEF\xBB\xBF", 0) == 0) == (written.rfind("\xEF\xBB\xBF", 0) == 0),
               "the byte-order mark was not kept");
    const std::vector<Line> oldLines = SplitLines(noFile ? std::string() : withoutMark(original));
    const std::vector<Line> newLines = SplitLines(withoutMark(written));
    bool hasSection = false;
    const std::vector<bool> rewritten = RewrittenLines(oldLines, &hasSection);
    size_t kept = 0;
    bool depthKeyPresent = false;
    for (size_t i = 0; i < oldLines.size(); ++i) {
        kept += rewritten[i] ? 0 : 1;
        std::string name;
        if (rewritten[i] && KindOf(oldLines[i].text, &name) == Kind::Key &&
            SameName(name, "ShowLabel_Formula_Depth"))
            depthKeyPresent = true;
    }
    // The option lines, rewritten or added, and the header when it was missing.
    const size_t optionLines =
        AlwaysWrittenCount + (depthKeyPresent || !options.ShowLabel_Formula_Depth ? 1 : 0);
    const size_t expectedCount = kept + optionLines + (hasSection ? 0 : 1);
    FUZZ_CHECK(newLines.size() == expectedCount, "%zu lines became %zu, expected %zu", oldLines.size(),
               newLines.size(), expectedCount);

    // Every other line is still there, in its order, with its bytes and its
    // line end (the last line gains one when something follows it now).
    size_t next = 0;
    auto nextKept = [&]() {
        while (next < oldLines.size() && rewritten[next])
            ++next;
    };
    nextKept();
    for (const Line &line : newLines) {
        if (next < oldLines.size()) {
            const Line &old = oldLines[next];
            const bool lastWithoutEnd = next + 1 == oldLines.size() && old.ending.empty();
            if (line.text == old.text && (line.ending == old.ending || lastWithoutEnd)) {
                ++next;
                nextKept();
                continue;
            }
        }
        FUZZ_CHECK(IsOptionKeyLine(line.text) || (!hasSection && IsOptionsHeader(line.text)),
                   "a line that is not the options' appeared or changed: '%s'", line.text.c_str());
    }
    FUZZ_CHECK(next == oldLines.size(), "line %zu of the old file is lost: '%s'", next,
               oldLines[next].text.c_str());
    return 0;
}

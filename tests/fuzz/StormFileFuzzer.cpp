// The storm-file reader on arbitrary bytes: whatever the encoding the bytes
// announce (UTF-8, UTF-16 either way round, GBK), reading either takes the
// whole storm or fails with a conversion message and leaves the storm as it
// was; a storm that was read writes a file that reads back to itself.

#include "FuzzSupport.h"
#include "io/LegacyText.h"
#include "io/StormFile.h"
#include "model/PluvionError.h"

#include <QByteArray>
#include <QStringList>

namespace {

bool SameDouble(double a, double b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameStorm(const Storm &a, const Storm &b)
{
    return a.form == b.form && SameDouble(a.a1, b.a1) && SameDouble(a.a1Flow, b.a1Flow) &&
           SameDouble(a.c, b.c) && SameDouble(a.b, b.b) && SameDouble(a.n, b.n) && a.log == b.log &&
           SameDouble(a.period, b.period) && SameDouble(a.duration, b.duration) && a.step == b.step &&
           SameDouble(a.peakRatio, b.peakRatio) && SameDouble(a.averageIntensity, b.averageIntensity) &&
           SameDouble(a.totalDepth, b.totalDepth) && a.mode == b.mode;
}

// A storm no file holds, so that any field the reader touches shows.
Storm Sentinel()
{
    Storm storm;
    storm.form = FormulaForm(77);
    storm.a1 = -123.25;
    storm.a1Flow = 4.5e100;
    storm.c = -0.0;
    storm.b = 1e-300;
    storm.n = 17;
    storm.log = static_cast<Logarithm>(201);
    storm.period = -9;
    storm.duration = 3.25;
    storm.step = -5;
    storm.peakRatio = 12;
    storm.averageIntensity = 6.5;
    storm.totalDepth = -7.75;
    storm.mode = CalcMode::Block;
    return storm;
}

bool IsReadFailure(const QString &description)
{
    return description.endsWith(QStringLiteral("' is not a valid floating point value")) ||
           description.endsWith(QStringLiteral("' is not a valid integer value")) ||
           description.startsWith(QStringLiteral("计算模式 '")) ||
           description.startsWith(QStringLiteral("长历时雨型文件中 "));
}

// Reads the lines; when they hold a storm, saves and opens it twice.
void ReadWriteRead(const QStringList &lines, const Separators &sep)
{
    Storm storm = Sentinel();
    StormFileReadResult result;
    try {
        result = ParseStormText(lines, storm, sep);
    } catch (const PluvionError &error) {
        FUZZ_CHECK(IsReadFailure(error.description()), "unexpected failure: %s",
                   Utf8(error.description()).c_str());
        FUZZ_CHECK(SameStorm(storm, Sentinel()), "a refused file changed the storm");
        return;
    }
    if (result == StormFileReadResult::NotAStormFile) {
        FUZZ_CHECK(SameStorm(storm, Sentinel()), "a file without the signature changed the storm");
        return;
    }
    // The results are the generator's, never the file's.
    FUZZ_CHECK(SameDouble(storm.totalDepth, Sentinel().totalDepth) &&
                   SameDouble(storm.averageIntensity, Sentinel().averageIntensity),
               "reading changed the results");

    // The values are written with 15 digits, so the first save may round;
    // from then on saving and opening changes nothing.
    Storm saved = storm;
    for (int generation = 0; generation < 2; ++generation) {
        const QStringList written = StormFileLines(saved, sep);
        const QStringList decoded = DecodeLegacyLines(EncodeLegacyLines(written));
        FUZZ_CHECK(decoded == written, "the written lines do not decode to themselves");
        Storm reread = Sentinel();
        StormFileReadResult again = StormFileReadResult::NotAStormFile;
        try {
            again = ParseStormText(decoded, reread, sep);
        } catch (const PluvionError &error) {
            // A value whose 15-digit text lies beyond the largest double
            // cannot be written in a readable form; nothing else may fail.
            FUZZ_CHECK(error.description().contains(QStringLiteral("E308")),
                       "a saved storm does not read back: %s", Utf8(error.description()).c_str());
            return;
        }
        FUZZ_CHECK(again == StormFileReadResult::Read, "a saved storm lost its signature");
        if (generation == 1) {
            FUZZ_CHECK(SameStorm(reread, saved), "saving and opening again changed the storm");
        }
        saved = reread;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    StartFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const QStringList lines = DecodeLegacyLines(file);
    for (const QString &line : lines) {
        FUZZ_CHECK(!line.contains(u'\r') && !line.contains(u'\n'), "a line holds a line end");
    }
    ReadWriteRead(lines, Separators{});
    ReadWriteRead(lines, Separators{u',', u':'});
    return 0;
}

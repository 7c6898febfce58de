#pragma once

#include <QByteArray>
#include <QStringEncoder>
#include <QStringList>
#include <QStringView>

// The program's text files (the storm file, the CSV export) are line lists in
// the legacy Chinese code page: GBK (Windows code page 936), whatever the
// system the program runs on, so that files move unchanged between the
// program's installations.

// Raises PluvionError when the GBK codec is not available to the program. The
// window calls it at start-up so that a missing codec is told once, clearly,
// rather than as empty or garbled files later.
void RequireLegacyCodec();

// The lines in GBK, without a byte-order mark, every line (the last one
// included) followed by CR LF. A character that GBK cannot hold is written as
// '?', as the Windows conversion to the ANSI code page does; the program's own
// texts (keys, numbers, the signature) are all GBK characters, so only text
// the user typed can meet this. Raises PluvionError when GBK is unavailable.
QByteArray EncodeLegacyLines(const QStringList &lines);

// Encodes a long text in pieces, each piece a run of whole lines, as
// EncodeLegacyLines encodes them. Text that is all ASCII, as a table of
// numbers is, is the same in GBK and is copied as it is.
class LegacyEncoder
{
public:
    // Raises PluvionError when GBK is unavailable.
    LegacyEncoder();
    QByteArray encode(QStringView text);

private:
    QStringEncoder m_encoder;
};

// The lines of a text file: UTF-8 when it begins with EF BB BF, UTF-16
// little-endian with FF FE, UTF-16 big-endian with FE FF (the mark itself
// skipped), GBK otherwise. Lines end at CR LF, at a lone CR or at a lone LF; a
// final line without an ending counts, an ending at the very end adds no empty
// line. Bytes that are not valid in the encoding read as U+FFFD. Raises
// PluvionError when GBK is unavailable.
QStringList DecodeLegacyLines(const QByteArray &bytes);

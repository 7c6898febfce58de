#include "io/LegacyText.h"

#include "io/TextLines.h"
#include "model/PluvionError.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>

namespace {

constexpr const char *LegacyCodecName = "GBK";

void ThrowCodecUnavailable()
{
    throw PluvionError(
        QStringLiteral("无法使用 GBK（代码页 936）文字编码，程序无法读写雨型文件和导出数据文件。"
                       "请确认程序的 Qt 运行库带有 ICU 文字编码支持。"));
}

QString DecodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes)
{
    // The mark has been cut off already; a second one belongs to the text.
    QStringDecoder decoder(encoding, QStringConverter::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QString DecodeLegacy(QByteArrayView bytes)
{
    QStringDecoder decoder(LegacyCodecName);
    if (!decoder.isValid())
        ThrowCodecUnavailable();
    return decoder.decode(bytes);
}

} // namespace

void RequireLegacyCodec()
{
    if (!QStringEncoder(LegacyCodecName).isValid() || !QStringDecoder(LegacyCodecName).isValid())
        ThrowCodecUnavailable();
}

QByteArray EncodeLegacyLines(const QStringList &lines)
{
    QStringEncoder encoder(LegacyCodecName);
    if (!encoder.isValid())
        ThrowCodecUnavailable();
    QString text;
    for (const QString &line : lines) {
        text += line;
        text += QLatin1String("\r\n");
    }
    // One call over the whole text, so that the encoder's replacement of
    // characters GBK lacks ('?') is the only substitution made.
    return encoder.encode(text);
}

LegacyEncoder::LegacyEncoder() : m_encoder(LegacyCodecName)
{
    if (!m_encoder.isValid())
        ThrowCodecUnavailable();
}

QByteArray LegacyEncoder::encode(QStringView text)
{
    const bool ascii = std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    if (ascii)
        return text.toLatin1();
    return m_encoder.encode(text);
}

QStringList DecodeLegacyLines(const QByteArray &bytes)
{
    const QByteArrayView view(bytes);
    QString text;
    if (view.startsWith("\xEF\xBB\xBF"))
        text = DecodeWith(QStringConverter::Utf8, view.sliced(3));
    else if (view.startsWith("\xFF\xFE"))
        text = DecodeWith(QStringConverter::Utf16LE, view.sliced(2));
    else if (view.startsWith("\xFE\xFF"))
        text = DecodeWith(QStringConverter::Utf16BE, view.sliced(2));
    else
        text = DecodeLegacy(view);
    return SplitLines(text);
}

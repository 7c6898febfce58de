#include "export/PictureFiles.h"

#include "export/ExportTarget.h"
#include "io/FileBytes.h"
#include "io/TextLines.h"
#include "model/PluvionError.h"
#include "model/ShownTexts.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <jerror.h>
#include <jpeglib.h>
#include <png.h>

namespace {

[[noreturn]] void ThrowEncoderError(const char *encoder, const char *message)
{
    throw PluvionError(
        QStringLiteral("%1 encoder: %2").arg(QLatin1String(encoder), QString::fromLocal8Bit(message)));
}

void RequireValidPixels(const RgbImage &image)
{
    if (image.width <= 0 || image.height <= 0)
        throw PluvionError(QStringLiteral("The picture is empty"));
    if (image.pixels.size() != qint64(image.width) * image.height * 3)
        throw PluvionError(QStringLiteral("The picture's pixels do not match its size"));
}

const unsigned char *PixelRow(const RgbImage &image, int y)
{
    return reinterpret_cast<const unsigned char *>(image.pixels.constData()) + qsizetype(y) * image.width * 3;
}

// Appends without letting an exception run through the encoders' C frames.
bool AppendBytes(QByteArray &out, const void *data, size_t size) noexcept
{
    try {
        out.append(static_cast<const char *>(data), qsizetype(size));
        return true;
    } catch (...) {
        return false;
    }
}

// --- BMP --------------------------------------------------------------------

void PutLittleEndian(unsigned char *&at, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) {
        *at++ = static_cast<unsigned char>(value & 0xFF);
        value >>= 8;
    }
}

QByteArray EncodeBmp(const RgbImage &image)
{
    constexpr qint64 FileHeaderSize = 14;
    constexpr qint64 InfoHeaderSize = 40;
    constexpr qint64 PixelOffset = FileHeaderSize + InfoHeaderSize;
    // Every row is padded to a multiple of 4 bytes.
    const qint64 rowSize = (qint64(image.width) * 3 + 3) / 4 * 4;
    const qint64 pixelBytes = rowSize * image.height;
    const qint64 fileSize = PixelOffset + pixelBytes;
    if (fileSize > qint64(UINT32_MAX))
        ThrowEncoderError("BMP", "the picture is too large for a bitmap file");

    QByteArray file(fileSize, '\0');
    unsigned char *at = reinterpret_cast<unsigned char *>(file.data());
    // BITMAPFILEHEADER
    *at++ = 'B';
    *at++ = 'M';
    PutLittleEndian(at, uint32_t(fileSize), 4);
    PutLittleEndian(at, 0, 2); // reserved
    PutLittleEndian(at, 0, 2); // reserved
    PutLittleEndian(at, uint32_t(PixelOffset), 4);
    // BITMAPINFOHEADER: a positive height means the rows run bottom-up.
    PutLittleEndian(at, uint32_t(InfoHeaderSize), 4);
    PutLittleEndian(at, uint32_t(image.width), 4);
    PutLittleEndian(at, uint32_t(image.height), 4);
    PutLittleEndian(at, 1, 2);  // planes
    PutLittleEndian(at, 24, 2); // bits per pixel
    PutLittleEndian(at, 0, 4);  // BI_RGB: uncompressed
    PutLittleEndian(at, uint32_t(pixelBytes), 4);
    PutLittleEndian(at, 0, 4); // horizontal resolution: not stated
    PutLittleEndian(at, 0, 4); // vertical resolution: not stated
    PutLittleEndian(at, 0, 4); // colours used: no palette
    PutLittleEndian(at, 0, 4); // important colours: all

    unsigned char *const pixels = reinterpret_cast<unsigned char *>(file.data()) + PixelOffset;
    for (int y = 0; y < image.height; ++y) {
        const unsigned char *source = PixelRow(image, image.height - 1 - y);
        unsigned char *target = pixels + y * rowSize;
        for (int x = 0; x < image.width; ++x, source += 3, target += 3) {
            // Stored blue, green, red.
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
    }
    return file;
}

// --- PNG --------------------------------------------------------------------

// Everything the PNG encoder and its callbacks share. libpng reports errors
// by longjmp back into RunPngEncoder, so this state holds only plain data and
// lives in the caller's frame.
struct PngWriteState
{
    std::jmp_buf jump;
    png_structp png = nullptr;
    png_infop info = nullptr;
    QByteArray *out = nullptr;
    char message[256] = {};
};

void PngError(png_structp png, png_const_charp message)
{
    auto *state = static_cast<PngWriteState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message ? message : "unknown error");
    std::longjmp(state->jump, 1);
}

void PngWarning(png_structp, png_const_charp)
{}

void PngWrite(png_structp png, png_bytep data, size_t size)
{
    auto *state = static_cast<PngWriteState *>(png_get_io_ptr(png));
    if (!AppendBytes(*state->out, data, size))
        png_error(png, "Out of memory");
}

void PngFlush(png_structp)
{}

// No object with a destructor lives in this frame: libpng's errors land on
// the setjmp below.
bool RunPngEncoder(const RgbImage &image, PngWriteState &state)
{
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, PngError, PngWarning);
    if (state.png)
        state.info = png_create_info_struct(state.png);
    if (!state.png || !state.info) {
        png_destroy_write_struct(&state.png, nullptr);
        std::snprintf(state.message, sizeof state.message, "Out of memory");
        return false;
    }
    if (setjmp(state.jump)) {
        png_destroy_write_struct(&state.png, &state.info);
        return false;
    }
    png_set_write_fn(state.png, &state, PngWrite, PngFlush);
    png_set_IHDR(state.png, state.info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    // A chart is mostly flat areas and thin lines: the Sub filter on every row
    // packs it about as well as libpng's adaptive choice in half the time.
    png_set_filter(state.png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(state.png, state.info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(state.png, PixelRow(image, y));
    png_write_end(state.png, nullptr);
    png_destroy_write_struct(&state.png, &state.info);
    return true;
}

QByteArray EncodePng(const RgbImage &image)
{
    QByteArray out;
    PngWriteState state;
    state.out = &out;
    if (!RunPngEncoder(image, state))
        ThrowEncoderError("PNG", state.message);
    return out;
}

// --- JPEG -------------------------------------------------------------------

// Everything the JPEG encoder and its callbacks share; plain data, as for PNG.
struct JpegWriteState
{
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    jpeg_destination_mgr destination;
    std::jmp_buf jump;
    QByteArray *out;
    unsigned char buffer[16384];
    char message[JMSG_LENGTH_MAX];
};

JpegWriteState &JpegStateOf(j_common_ptr cinfo)
{
    return *static_cast<JpegWriteState *>(cinfo->client_data);
}

void JpegErrorExit(j_common_ptr cinfo)
{
    JpegWriteState &state = JpegStateOf(cinfo);
    (*cinfo->err->format_message)(cinfo, state.message);
    std::longjmp(state.jump, 1);
}

void JpegOutputMessage(j_common_ptr)
{
    // Warnings and traces go nowhere; errors are raised by JpegErrorExit.
}

void JpegInitDestination(j_compress_ptr cinfo)
{
    JpegWriteState &state = JpegStateOf(reinterpret_cast<j_common_ptr>(cinfo));
    state.destination.next_output_byte = state.buffer;
    state.destination.free_in_buffer = sizeof state.buffer;
}

boolean JpegEmptyOutputBuffer(j_compress_ptr cinfo)
{
    // libjpeg calls this with the whole buffer full, whatever free_in_buffer says.
    JpegWriteState &state = JpegStateOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (!AppendBytes(*state.out, state.buffer, sizeof state.buffer))
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    state.destination.next_output_byte = state.buffer;
    state.destination.free_in_buffer = sizeof state.buffer;
    return TRUE;
}

void JpegTermDestination(j_compress_ptr cinfo)
{
    JpegWriteState &state = JpegStateOf(reinterpret_cast<j_common_ptr>(cinfo));
    if (!AppendBytes(*state.out, state.buffer, sizeof state.buffer - state.destination.free_in_buffer))
        ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
}

// No object with a destructor lives in this frame: libjpeg's errors land on
// the setjmp below.
bool RunJpegEncoder(const RgbImage &image, JpegWriteState &state)
{
    jpeg_compress_struct &cinfo = state.cinfo;
    cinfo.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = JpegErrorExit;
    state.errors.output_message = JpegOutputMessage;
    cinfo.client_data = &state;
    if (setjmp(state.jump)) {
        jpeg_destroy_compress(&cinfo);
        return false;
    }
    jpeg_create_compress(&cinfo);
    state.destination.init_destination = JpegInitDestination;
    state.destination.empty_output_buffer = JpegEmptyOutputBuffer;
    state.destination.term_destination = JpegTermDestination;
    cinfo.dest = &state.destination;

    cinfo.image_width = JDIMENSION(image.width);
    cinfo.image_height = JDIMENSION(image.height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 90, TRUE); // TRUE: baseline tables (no quantiser above 255)
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(PixelRow(image, int(cinfo.next_scanline)));
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return true;
}

QByteArray EncodeJpeg(const RgbImage &image)
{
    QByteArray out;
    JpegWriteState state{};
    state.out = &out;
    if (!RunJpegEncoder(image, state))
        ThrowEncoderError("JPEG", state.message);
    return out;
}

// --- Dialog -----------------------------------------------------------------

const char *const PictureExtensions[] = {".bmp", ".jpg", ".png"};

} // namespace

std::optional<PictureType> PictureTypeOfPath(const QString &path)
{
    const QString extension = FileExtension(path).toUpper();
    if (extension == QLatin1String(".BMP"))
        return PictureType::Bmp;
    if (extension == QLatin1String(".JPG"))
        return PictureType::Jpeg;
    if (extension == QLatin1String(".PNG"))
        return PictureType::Png;
    return std::nullopt;
}

QByteArray EncodePicture(const RgbImage &image, PictureType type)
{
    RequireValidPixels(image);
    switch (type) {
    case PictureType::Bmp:
        return EncodeBmp(image);
    case PictureType::Jpeg:
        return EncodeJpeg(image);
    case PictureType::Png:
        return EncodePng(image);
    }
    return {};
}

bool SaveChartPicture(const FileTarget &target, const RgbImage &image)
{
    const QString &path = target.path;
    const std::optional<PictureType> type = PictureTypeOfPath(path);
    if (!type)
        return false;
    // The whole file is encoded before the target is touched.
    QByteArray bytes;
    try {
        bytes = EncodePicture(image, *type);
    } catch (const PluvionError &error) {
        throw PluvionError(CannotCreateFileMessage(path, error.description()));
    }
    WriteFileBytes(target, bytes);
    return true;
}

QList<PictureMenuEntry> PictureMenuEntries()
{
    const QString bmp = QStringLiteral("保存图片(BMP格式)...");
    const QString jpg = QStringLiteral("保存图片(JPG格式)...");
    const QString png = QStringLiteral("保存图片(PNG格式)...");
    return {
        {QStringLiteral("BMP1"), PictureMenu::ChartPopup, 1, bmp},
        {QStringLiteral("JPG1"), PictureMenu::ChartPopup, 2, jpg},
        {QStringLiteral("PNG1"), PictureMenu::ChartPopup, 3, png},
        {QStringLiteral("BMP2"), PictureMenu::SavePictureOf, 1, bmp},
        {QStringLiteral("JPG2"), PictureMenu::SavePictureOf, 2, jpg},
        {QStringLiteral("PNG2"), PictureMenu::SavePictureOf, 3, png},
    };
}

QString PictureProposedName(const Storm &storm, int tag, const Separators &sep)
{
    const QString base = StormFileName(QStringLiteral("芝加哥雨型P=%1年 t=%2分 r=%3"), storm, sep);
    const int index = PictureFilterIndexOfTag(tag);
    return index < 0 ? base : base + QLatin1String(PictureExtensions[index]);
}

int PictureFilterIndexOfTag(int tag)
{
    return tag >= 1 && tag <= 3 ? tag - 1 : -1;
}

std::optional<PictureType> PictureTypeOfFilter(int filterIndex)
{
    if (filterIndex < 0 || filterIndex > 2)
        return std::nullopt;
    return PictureTypeOfPath(QLatin1String(PictureExtensions[filterIndex]));
}

std::optional<QString> PicturePathForDialogChoice(const QString &chosenName, int filterIndex)
{
    const bool blank = TrimControls(chosenName).isEmpty();
    if (blank)
        return std::nullopt;
    if (filterIndex < 0 || filterIndex > 2)
        return chosenName;
    return ChangeFileExtension(chosenName, QLatin1String(PictureExtensions[filterIndex]));
}

#include "export/PictureFiles.h"

#include "TempFolder.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <png.h>

// Readable failures.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace {

// A picture whose every pixel differs from its neighbours in all three
// channels, so that a swapped channel, a flipped row or a shifted column shows.
RgbImage PatternImage(int width, int height)
{
    RgbImage image{width, height, QByteArray(qsizetype(width) * height * 3, '\0')};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char *pixel = image.pixels.data() + (qsizetype(y) * width + x) * 3;
            pixel[0] = char(x * 37 + y * 11 + 1);
            pixel[1] = char(x * 5 + y * 71 + 2);
            pixel[2] = char(x * 113 + y * 29 + 3);
        }
    }
    return image;
}

// A picture like a chart's: smooth areas, which JPEG keeps closely.
RgbImage GradientImage(int width, int height)
{
    RgbImage image{width, height, QByteArray(qsizetype(width) * height * 3, '\0')};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            char *pixel = image.pixels.data() + (qsizetype(y) * width + x) * 3;
            pixel[0] = char(255 * x / (width - 1));
            pixel[1] = char(255 * y / (height - 1));
            pixel[2] = char(200 - 100 * x / (width - 1));
        }
    }
    return image;
}

uint32_t LittleEndian(const QByteArray &bytes, qsizetype at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | uint8_t(bytes.at(at + i));
    return value;
}

// The bitmap's header fields, checked, and its pixels read back top-down.
RgbImage DecodeBmp(const QByteArray &file)
{
    EXPECT_TRUE(file.startsWith("BM"));
    const int width = int(LittleEndian(file, 18, 4));
    const int height = int(LittleEndian(file, 22, 4));
    const qsizetype rowSize = (width * 3 + 3) / 4 * 4;
    EXPECT_EQ(LittleEndian(file, 2, 4), uint32_t(file.size()));       // file size
    EXPECT_EQ(LittleEndian(file, 6, 4), 0u);                          // reserved
    EXPECT_EQ(LittleEndian(file, 10, 4), 54u);                        // pixel offset
    EXPECT_EQ(LittleEndian(file, 14, 4), 40u);                        // BITMAPINFOHEADER
    EXPECT_EQ(LittleEndian(file, 26, 2), 1u);                         // planes
    EXPECT_EQ(LittleEndian(file, 28, 2), 24u);                        // bits per pixel
    EXPECT_EQ(LittleEndian(file, 30, 4), 0u);                         // BI_RGB
    EXPECT_EQ(LittleEndian(file, 34, 4), uint32_t(rowSize * height)); // image size
    EXPECT_EQ(LittleEndian(file, 46, 4), 0u);                         // no palette
    EXPECT_EQ(file.size(), 54 + rowSize * height);

    RgbImage image{width, height, QByteArray(qsizetype(width) * height * 3, '\0')};
    for (int y = 0; y < height; ++y) {
        const qsizetype row = 54 + (height - 1 - y) * rowSize; // bottom-up
        for (int x = 0; x < width; ++x) {
            char *pixel = image.pixels.data() + (qsizetype(y) * width + x) * 3;
            pixel[0] = file.at(row + x * 3 + 2);
            pixel[1] = file.at(row + x * 3 + 1);
            pixel[2] = file.at(row + x * 3);
        }
        for (qsizetype pad = width * 3; pad < rowSize; ++pad)
            EXPECT_EQ(file.at(row + pad), '\0');
    }
    return image;
}

struct PngRead
{
    std::jmp_buf jump;
    const QByteArray *file = nullptr;
    qsizetype at = 0;
};

void PngReadBytes(png_structp png, png_bytep data, size_t size)
{
    auto *read = static_cast<PngRead *>(png_get_io_ptr(png));
    if (read->at + qsizetype(size) > read->file->size())
        png_error(png, "truncated");
    std::memcpy(data, read->file->constData() + read->at, size);
    read->at += qsizetype(size);
}

void PngReadError(png_structp png, png_const_charp)
{
    std::longjmp(static_cast<PngRead *>(png_get_error_ptr(png))->jump, 1);
}

struct PngHeader
{
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
};

// libpng's reader; false when the file is not a PNG it can read.
bool ReadPng(const QByteArray &file, PngHeader &header, RgbImage &image)
{
    PngRead read;
    read.file = &file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, PngReadError, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(read.jump)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, &read, PngReadBytes);
    png_read_info(png, info);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    header.bitDepth = png_get_bit_depth(png, info);
    header.colorType = png_get_color_type(png, info);
    header.interlace = png_get_interlace_type(png, info);
    image.pixels = QByteArray(qsizetype(png_get_rowbytes(png, info)) * image.height, '\0');
    for (int y = 0; y < image.height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(image.pixels.data()) + y * png_get_rowbytes(png, info),
                     nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

struct JpegRead
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    std::jmp_buf jump;
};

void JpegReadError(j_common_ptr cinfo)
{
    std::longjmp(static_cast<JpegRead *>(cinfo->client_data)->jump, 1);
}

struct JpegHeader
{
    bool jfif = false;
    bool progressive = true;
    int components = 0;
    unsigned short luminanceTable[DCTSIZE2] = {};
};

// libjpeg's decompressor; false when the file is not a JPEG it can read.
bool ReadJpeg(const QByteArray &file, JpegHeader &header, RgbImage &image)
{
    JpegRead read{};
    read.cinfo.err = jpeg_std_error(&read.errors);
    read.errors.error_exit = JpegReadError;
    read.cinfo.client_data = &read;
    if (setjmp(read.jump)) {
        jpeg_destroy_decompress(&read.cinfo);
        return false;
    }
    jpeg_create_decompress(&read.cinfo);
    jpeg_mem_src(&read.cinfo, reinterpret_cast<const unsigned char *>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&read.cinfo, TRUE);
    header.jfif = read.cinfo.saw_JFIF_marker;
    header.progressive = read.cinfo.progressive_mode;
    header.components = read.cinfo.num_components;
    std::copy_n(read.cinfo.quant_tbl_ptrs[0]->quantval, DCTSIZE2, header.luminanceTable);
    read.cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&read.cinfo);
    image.width = int(read.cinfo.output_width);
    image.height = int(read.cinfo.output_height);
    image.pixels = QByteArray(qsizetype(image.width) * image.height * 3, '\0');
    while (read.cinfo.output_scanline < read.cinfo.output_height) {
        JSAMPROW row = reinterpret_cast<JSAMPROW>(image.pixels.data()) +
                       qsizetype(read.cinfo.output_scanline) * image.width * 3;
        jpeg_read_scanlines(&read.cinfo, &row, 1);
    }
    jpeg_finish_decompress(&read.cinfo);
    jpeg_destroy_decompress(&read.cinfo);
    return true;
}

using PictureFilesTest = TempFolderTest;

// Widths whose rows need 3, 2, 1 and no padding bytes.
TEST_F(PictureFilesTest, BmpIsBottomUpWithRowsPaddedToFourBytes)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {2, 3}, {3, 2}, {4, 4}, {5, 3}, {579, 480}};
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const RgbImage image = PatternImage(width, height);
        ASSERT_TRUE(SaveChartPicture(path("chart.bmp"), image));
        const RgbImage decoded = DecodeBmp(readBytes("chart.bmp"));
        EXPECT_EQ(decoded.width, width);
        EXPECT_EQ(decoded.height, height);
        EXPECT_TRUE(decoded.pixels == image.pixels);
    }
}

TEST_F(PictureFilesTest, PngIsEightBitRgbWithoutAlphaNotInterlacedAndExact)
{
    const std::pair<int, int> sizes[] = {{1, 1}, {5, 3}, {579, 480}};
    for (const auto &[width, height] : sizes) {
        SCOPED_TRACE(testing::Message() << width << "x" << height);
        const RgbImage image = PatternImage(width, height);
        ASSERT_TRUE(SaveChartPicture(path("chart.png"), image));
        PngHeader header;
        RgbImage decoded;
        ASSERT_TRUE(ReadPng(readBytes("chart.png"), header, decoded));
        EXPECT_EQ(header.bitDepth, 8);
        EXPECT_EQ(header.colorType, PNG_COLOR_TYPE_RGB);
        EXPECT_EQ(header.interlace, PNG_INTERLACE_NONE);
        EXPECT_EQ(decoded.width, width);
        EXPECT_EQ(decoded.height, height);
        EXPECT_TRUE(decoded.pixels == image.pixels);
    }
}

TEST_F(PictureFilesTest, JpegIsBaselineJfifAtQuality90AndClose)
{
    const RgbImage image = GradientImage(579, 480);
    ASSERT_TRUE(SaveChartPicture(path("chart.jpg"), image));
    const QByteArray file = readBytes("chart.jpg");
    JpegHeader header;
    RgbImage decoded;
    ASSERT_TRUE(ReadJpeg(file, header, decoded));

    EXPECT_TRUE(header.jfif);
    EXPECT_FALSE(header.progressive);
    EXPECT_EQ(header.components, 3);
    EXPECT_TRUE(file.contains("\xFF\xC0")); // SOF0: baseline sequential
    // The standard luminance table scaled for quality 90 (factor 20 %).
    const int standardLuminance[DCTSIZE2] = {
        16, 11,  10,  16, 24, 40, 51, 61, 12,  12,  14,  19,  26, 58, 60, 55,  14,  13,  16,  24, 40, 57,
        69, 56,  14,  17, 22, 29, 51, 87, 80,  62,  18,  22,  37, 56, 68, 109, 103, 77,  24,  35, 55, 64,
        81, 104, 113, 92, 49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98,  112, 100, 103, 99};
    for (int i = 0; i < DCTSIZE2; ++i)
        EXPECT_EQ(header.luminanceTable[i], std::max(1, (standardLuminance[i] * 20 + 50) / 100)) << i;

    ASSERT_EQ(decoded.width, image.width);
    ASSERT_EQ(decoded.height, image.height);
    int largest = 0;
    double sum = 0;
    for (qsizetype i = 0; i < image.pixels.size(); ++i) {
        const int difference = std::abs(uint8_t(decoded.pixels[i]) - uint8_t(image.pixels[i]));
        largest = std::max(largest, difference);
        sum += difference;
    }
    EXPECT_LE(largest, 8);
    EXPECT_LE(sum / image.pixels.size(), 1.5);
}

TEST_F(PictureFilesTest, TypeFollowsTheExtensionInAnyCaseAndOthersWriteNothing)
{
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("dir.png"));
    struct Case
    {
        QString name;
        std::optional<PictureType> type;
        QByteArray magic;
    };
    const Case cases[] = {
        {"a.bmp", PictureType::Bmp, "BM"},
        {"b.Bmp", PictureType::Bmp, "BM"},
        {"c.JPG", PictureType::Jpeg, "\xFF\xD8\xFF"},
        {"d.PnG", PictureType::Png, "\x89PNG\r\n\x1A\n"},
        {"e.jpeg", std::nullopt, {}},
        {"f.gif", std::nullopt, {}},
        {"g", std::nullopt, {}},
        {"h.png.txt", std::nullopt, {}},
        {"dir.png/i", std::nullopt, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(PictureTypeOfPath(path(c.name)), c.type);
        EXPECT_EQ(SaveChartPicture(path(c.name), PatternImage(3, 2)), c.type.has_value());
        EXPECT_EQ(QFileInfo::exists(path(c.name)), c.type.has_value());
        if (c.type) {
            EXPECT_TRUE(readBytes(c.name).startsWith(c.magic));
        }
    }
    EXPECT_EQ(filesInDir(), QStringList({"a.bmp", "b.Bmp", "c.JPG", "d.PnG"}));
}

TEST_F(PictureFilesTest, FailuresAreReportedAndLeaveThePreviousFile)
{
    writeBytes("plain", "previous");
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("folder.png"));
    for (const QString &name : {QStringLiteral("missing/chart.png"), QStringLiteral("plain/chart.bmp"),
                                QStringLiteral("folder.png")}) {
        SCOPED_TRACE(name.toStdString());
        const QString expected = CannotCreateFileMessage(path(name), WriteFailureReason(name));
        EXPECT_EQ(ErrorOf([&] { SaveChartPicture(path(name), PatternImage(3, 2)); }), expected);
    }

    // Pictures the encoders refuse: their errors come back as failures, and
    // the file that was there stays as it was.
    struct Case
    {
        QString name;
        RgbImage image;
        QString reason;
    };
    RgbImage shortPixels = PatternImage(4, 4);
    shortPixels.pixels.chop(1);
    const Case cases[] = {
        {"wide.png", PatternImage(1'000'001, 1), "PNG encoder: Invalid IHDR data"},
        {"wide.jpg", PatternImage(65'501, 1),
         "JPEG encoder: Maximum supported image dimension is 65500 pixels"},
        {"empty.bmp", RgbImage{}, "The picture is empty"},
        {"empty.jpg", RgbImage{0, 5, {}}, "The picture is empty"},
        {"short.png", shortPixels, "The picture's pixels do not match its size"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        writeBytes(c.name, "previous");
        EXPECT_EQ(ErrorOf([&] { SaveChartPicture(path(c.name), c.image); }),
                  CannotCreateFileMessage(path(c.name), c.reason));
        EXPECT_EQ(readBytes(c.name), "previous");
    }
    EXPECT_EQ(filesInDir(),
              QStringList({"empty.bmp", "empty.jpg", "plain", "short.png", "wide.jpg", "wide.png"}));
}

TEST(PictureDialogTest, ProposedNameAndSelectedTypeFollowTheTag)
{
    const Storm storm = StartUpStorm();
    const QString base = QStringLiteral("芝加哥雨型P=2年 t=120分 r=0.4");
    EXPECT_EQ(PictureProposedName(storm, 1, Separators{}), base + ".bmp");
    EXPECT_EQ(PictureProposedName(storm, 2, Separators{}), base + ".jpg");
    EXPECT_EQ(PictureProposedName(storm, 3, Separators{u',', u':'}),
              QStringLiteral("芝加哥雨型P=2年 t=120分 r=0,4.png"));
    EXPECT_EQ(PictureFilterIndexOfTag(1), 0);
    EXPECT_EQ(PictureFilterIndexOfTag(3), 2);
    EXPECT_EQ(PictureFilterIndexOfTag(4), -1);

    EXPECT_EQ(PictureSaveDialogTitle(), QStringLiteral("保存曲线图片"));
    EXPECT_EQ(PictureSaveDialogFilters(),
              QStringList({"位图文件(*.bmp)", "JPG文件(*.jpg)", "PNG文件(*.png)"}));
    for (int index = 0; index < 3; ++index)
        EXPECT_EQ(PictureTypeOfFilter(index),
                  PictureTypeOfPath(PictureSaveDialogFilters()[index].chopped(1)));
    EXPECT_EQ(PictureTypeOfFilter(-1), std::nullopt);
    EXPECT_EQ(QStringLiteral("没有曲线可以保存~\r\n点击“添加”按钮，添加新曲线"),
              QStringLiteral("没有曲线可以保存~\r\n点击“添加”按钮，添加新曲线"));

    QStringList entries;
    for (const PictureMenuEntry &entry : PictureMenuEntries())
        entries << QStringLiteral("%1 %2 %3 %4")
                       .arg(entry.objectName)
                       .arg(entry.menu == PictureMenu::ChartPopup ? "popup" : "main")
                       .arg(entry.tag)
                       .arg(entry.caption);
    EXPECT_EQ(entries, QStringList({
                           "BMP1 popup 1 保存图片(BMP格式)...",
                           "JPG1 popup 2 保存图片(JPG格式)...",
                           "PNG1 popup 3 保存图片(PNG格式)...",
                           "BMP2 main 1 保存图片(BMP格式)...",
                           "JPG2 main 2 保存图片(JPG格式)...",
                           "PNG2 main 3 保存图片(PNG格式)...",
                       }));
}

TEST(PictureDialogTest, PathTakesTheExtensionOfTheFilterSelectedAtClose)
{
    struct Case
    {
        QString chosen;
        int filterIndex;
        std::optional<QString> path;
    };
    const Case cases[] = {
        {"chart.jpg", 2, "chart.png"}, // JPEG entry, "PNG文件" selected in the dialog
        {"chart", 1, "chart.jpg"},        {"/home/u/v1.2/chart", 0, "/home/u/v1.2/chart.bmp"},
        {"r=0.4", 0, "r=0.bmp"},          {" chart.png ", 0, " chart.bmp"}, // the name is not trimmed
        {"chart.png", -1, "chart.png"},   {"", 0, std::nullopt},
        {" \t\r\n\x01", 2, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.chosen.toStdString());
        EXPECT_EQ(PicturePathForDialogChoice(c.chosen, c.filterIndex), c.path);
    }
}

} // namespace

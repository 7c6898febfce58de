#pragma once

#include "io/FileBytes.h"
#include "model/NumberForms.h"
#include "model/Storm.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// Pictures of the chart as BMP, JPEG or PNG files, and the set-up of the
// picture save dialog.

// A picture in memory: `height` rows from top to bottom, each `width` pixels
// of three bytes (red, green, blue), rows packed without padding.
struct RgbImage
{
    int width = 0;
    int height = 0;
    QByteArray pixels; // width * height * 3 bytes
};

enum class PictureType
{
    Bmp,  // Windows bitmap, 24 bits per pixel, uncompressed, bottom-up
    Jpeg, // JFIF, quality 90 with baseline tables, not progressive
    Png,  // 8-bit red, green and blue, no alpha, not interlaced
};

// The type a path names by its extension (see FileExtension), in any letter
// case: ".bmp", ".jpg" or ".png". Any other extension, ".jpeg" included, and
// a path without one name no type.
std::optional<PictureType> PictureTypeOfPath(const QString &path);

// The picture encoded as a file of the given type. Raises PluvionError when
// the pixels do not match the size or the encoder refuses the picture (the
// description then names the encoder and gives its reason).
QByteArray EncodePicture(const RgbImage &image, PictureType type);

// Writes the picture to `path` in the form its extension names, creating the
// file or replacing it in one step (a failure leaves any previous file as it
// was). Returns false, writing nothing, when the extension names no picture
// type; true once the file is written. Raises PluvionError
// "Cannot create file "<path>". <reason>" when the picture cannot be encoded
// or the file cannot be written.
bool SaveChartPicture(const FileTarget &target, const RgbImage &image);

// The message shown, captioned "提示" with the information icon, when there is
// no computed storm to draw.
inline QString NoChartToSaveMessage()
{
    return QStringLiteral("没有曲线可以保存~\r\n点击“添加”按钮，添加新曲线");
}

// The six menu entries that save the picture; the tag chooses the type the
// dialog proposes: 1 BMP, 2 JPEG, 3 PNG.
enum class PictureMenu
{
    ChartPopup,    // the chart's pop-up menu "PopupMenu_Picture"
    SavePictureOf, // submenu "保存雨型图片" of the main menu "功能(&F)"
};
struct PictureMenuEntry
{
    QString objectName;
    PictureMenu menu;
    int tag;
    QString caption;
};
QList<PictureMenuEntry> PictureMenuEntries();

// The picture save dialog: its title and its file types, in the order of the
// tags ("位图文件", "JPG文件", "PNG文件"). The dialog accepts only names with one
// of their extensions, the names for which PictureTypeOfPath gives a type.
inline QString PictureSaveDialogTitle()
{
    return QStringLiteral("保存曲线图片");
}
inline QStringList PictureSaveDialogFilters()
{
    return {QStringLiteral("位图文件(*.bmp)"), QStringLiteral("JPG文件(*.jpg)"),
            QStringLiteral("PNG文件(*.png)")};
}

// The name the dialog proposes for a menu entry's tag:
// "芝加哥雨型P=<P>年 t=<T>分 r=<r>" with the return period, duration and peak
// ratio in the general number form, then ".bmp", ".jpg" or ".png" by tag.
QString PictureProposedName(const Storm &storm, int tag, const Separators &sep);

// The index (from 0) of the filter the dialog selects for a tag; -1 for a tag
// other than 1, 2 or 3.
int PictureFilterIndexOfTag(int tag);

// The type of the filter selected when the dialog closed (index from 0).
std::optional<PictureType> PictureTypeOfFilter(int filterIndex);

// The path to save to, for the name chosen in the dialog and the filter
// selected when it closed: the chosen name (not trimmed) with its extension
// replaced by that of the filter, so the type follows the filter and not the
// menu entry. Nothing when the name is empty once leading and trailing blanks
// and control characters are trimmed: the command then stops silently. With
// no valid filter index the chosen name is kept as it is.
std::optional<QString> PicturePathForDialogChoice(const QString &chosenName, int filterIndex);

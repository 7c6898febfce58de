#include "CliDrawing.h"

#include "model/PluvionError.h"

#include <QFileInfo>
#include <QLibrary>

namespace {

const CliDrawing *given = nullptr;

// The module beside the program (the build), then where the package installs it.
QStringList ModuleCandidates()
{
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    return {folder + QStringLiteral("/pluvion-drawing.so"),
            folder + QStringLiteral("/../lib/pluvion/pluvion-drawing.so")};
}

const CliDrawing &LoadModule()
{
    // The module stays loaded until the run ends: the library object is not
    // destroyed before that, and destroying it would not unload the module.
    static QLibrary module;
    QString reasons;
    for (const QString &path : ModuleCandidates()) {
        if (!QFileInfo::exists(path))
            continue;
        module.setFileName(path);
        using Table = const CliDrawing *(*)();
        if (const auto table = reinterpret_cast<Table>(module.resolve(CliDrawingSymbol)))
            return *table();
        reasons += module.errorString() + u'\n';
    }
    throw PluvionError(
        QStringLiteral("无法载入画图模块 pluvion-drawing.so：%1")
            .arg(reasons.isEmpty() ? QStringLiteral("找不到该文件（程序安装不完整）") : reasons.trimmed()));
}

} // namespace

const CliDrawing &Drawing()
{
    if (!given)
        given = &LoadModule();
    return *given;
}

void UseDrawing(const CliDrawing &drawing)
{
    given = &drawing;
}

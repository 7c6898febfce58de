#include "CliModule.h"

#include "model/PluvionError.h"

#include <QFileInfo>
#include <QLibrary>

const void *LoadCliModule(const QString &fileName, const char *symbol, const QString &what)
{
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QString candidates[] = {folder + u'/' + fileName,
                                  folder + QStringLiteral("/../lib/pluvion/") + fileName};
    QString reasons;
    for (const QString &path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        // Never destroyed: destroying it would not unload the module anyway.
        auto *module = new QLibrary(path);
        using Table = const void *(*)();
        if (const auto table = reinterpret_cast<Table>(module->resolve(symbol)))
            return table();
        reasons += module->errorString() + u'\n';
        delete module;
    }
    throw PluvionError(
        QStringLiteral("无法载入%1 %2：%3")
            .arg(what, fileName,
                 reasons.isEmpty() ? QStringLiteral("找不到该文件（程序安装不完整）") : reasons.trimmed()));
}

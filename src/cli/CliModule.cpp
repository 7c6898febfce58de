#include "CliModule.h"

#include "model/PluvionError.h"

#include <QFileInfo>
#include <QLibrary>
#include <memory>
#include <vector>

const void *LoadCliModule(const QString &fileName, const char *symbol, const QString &what)
{
    const QString folder = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
    const QString candidates[] = {folder + u'/' + fileName,
                                  folder + QStringLiteral("/../lib/pluvion/") + fileName};
    QString reasons;
    for (const QString &path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        // Kept until the program ends; destroying a QLibrary does not unload
        // its module, so the tables stay valid to the last.
        static std::vector<std::unique_ptr<QLibrary>> loaded;
        auto module = std::make_unique<QLibrary>(path);
        using Table = const void *(*)();
        if (const auto table = reinterpret_cast<Table>(module->resolve(symbol))) {
            loaded.push_back(std::move(module));
            return table();
        }
        reasons += module->errorString() + u'\n';
    }
    throw PluvionError(
        QStringLiteral("无法载入%1 %2：%3")
            .arg(what, fileName,
                 reasons.isEmpty() ? QStringLiteral("找不到该文件（程序安装不完整）") : reasons.trimmed()));
}

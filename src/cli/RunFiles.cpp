#include "RunFiles.h"

#include "CliOptions.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QDir>
#include <QHash>

void RunFiles::input(const CliOption &option, const QString &path, const CliOption *replacedBy)
{
    if (!path.isEmpty())
        m_inputs.append({option.text(), path, replacedBy ? replacedBy->text() : QString()});
}

void RunFiles::output(const CliOption &option, const QString &path)
{
    if (!path.isEmpty() && path != StandardOutputPath)
        m_outputs.append({option.text(), path, {}});
}

void RunFiles::check() const
{
    QHash<QString, const File *> inputs;
    for (const File &file : m_inputs) {
        const QString identity = FileIdentity(file.path);
        if (!identity.isEmpty())
            inputs.insert(identity, &file);
    }
    QHash<QString, const File *> outputs;
    for (const File &file : m_outputs) {
        CheckTarget(file.path);
        const QString identity = FileIdentity(file.path);
        if (const File *read = inputs.value(identity); read && read->replacedBy != file.option)
            throw PluvionError(
                QStringLiteral("%1 的文件“%2”正是 %3 读入的文件：写出会覆盖输入的数据，请换一个文件名。")
                    .arg(file.option, QDir::toNativeSeparators(file.path), read->option));
        if (const File *other = outputs.value(identity))
            throw PluvionError(
                QStringLiteral(
                    "%1 与 %2 指向同一个文件“%3”：一次运行不能把两种结果写进同一个文件，请换一个文件名。")
                    .arg(other->option, file.option, QDir::toNativeSeparators(file.path)));
        outputs.insert(identity, &file);
    }
}

#include "ManPage.h"

#include <QStringList>

namespace {

// Text as roff prints it: backslashes and hyphens as themselves, and no line
// taken for a request.
QString Roff(QString text)
{
    text.replace(u'\\', QStringLiteral("\\e"));
    text.replace(u'-', QStringLiteral("\\-"));
    if (text.startsWith(u'.') || text.startsWith(u'\''))
        text.prepend(QStringLiteral("\\&"));
    return text;
}

// An option line of the usage text: "  --name VALUE   help".
bool SplitOption(const QString &line, QString &head, QString &help)
{
    if (!line.startsWith(QStringLiteral("  -")))
        return false;
    const QString body = line.mid(2);
    qsizetype gap = body.indexOf(QStringLiteral("  "));
    if (gap < 0)
        gap = body.indexOf(u' ', body.indexOf(u' ') + 1); // a head that filled its column
    if (gap < 0)
        return false;
    head = body.left(gap).trimmed();
    help = body.mid(gap).trimmed();
    return true;
}

} // namespace

QString CliManPage(const QString &usage, const QString &version)
{
    QString page = QStringLiteral(".TH PLUVION\\-CLI 1 \"\" \"pluvion-cli %1\" \"用户命令\"\n").arg(version);
    page +=
        QStringLiteral(".SH 名称\npluvion\\-cli \\- 芝加哥雨型与暴雨强度公式推求（澜岑云图的命令行工具）\n");
    enum class Part
    {
        Synopsis,
        Options,
        Notes,
        ExitStatus
    } part = Part::Synopsis;
    page += QStringLiteral(".SH 概要\n.nf\n");
    QString notes;
    for (const QString &line : usage.split(u'\n')) {
        if (part == Part::Synopsis) {
            if (!line.trimmed().isEmpty()) {
                QString shown = line;
                if (shown.startsWith(QStringLiteral("用法:")))
                    shown = shown.mid(3);
                page += Roff(shown.simplified()) + u'\n';
                continue;
            }
            page += QStringLiteral(".fi\n.SH 选项\n");
            part = Part::Options;
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        if (line == QStringLiteral("退出码：")) {
            part = Part::ExitStatus;
            page += QStringLiteral(".SH 说明\n") + notes + QStringLiteral(".SH 退出码\n");
            continue;
        }
        QString head, help;
        if (part == Part::ExitStatus) {
            const QString status = line.trimmed();
            const qsizetype gap = status.indexOf(u' ');
            page += QStringLiteral(".TP\n.B ") + status.left(gap) + u'\n' + Roff(status.mid(gap).trimmed()) +
                    u'\n';
        } else if (!line.startsWith(u' ') && line.endsWith(QStringLiteral("："))) {
            if (part == Part::Notes)
                notes += QStringLiteral(".PP\n");
            page += QStringLiteral(".SS ") + Roff(line.chopped(1)) + u'\n';
        } else if (part == Part::Options && SplitOption(line, head, help)) {
            const qsizetype space = head.indexOf(u' ');
            const QString name = space < 0 ? head : head.left(space);
            const QString value = space < 0 ? QString() : head.mid(space + 1);
            page += QStringLiteral(".TP\n\\fB") + Roff(name) + QStringLiteral("\\fR");
            if (!value.isEmpty())
                page += QStringLiteral(" \\fI") + Roff(value) + QStringLiteral("\\fR");
            page += u'\n' + Roff(help) + u'\n';
        } else {
            // The notes after the options: plain paragraphs, continuation lines indented.
            part = Part::Notes;
            notes +=
                (line.startsWith(u' ') ? QString() : QStringLiteral(".PP\n")) + Roff(line.trimmed()) + u'\n';
        }
    }
    if (part != Part::ExitStatus && !notes.isEmpty())
        page += QStringLiteral(".SH 说明\n") + notes;
    return page;
}

// The separators of the user's locale.
#include "NumberForms.h"

#include <QLocale>
#include <QRegularExpression>

Separators Separators::fromSystem()
{
    Separators sep;
    const QLocale locale = QLocale::system();
    const QString point = locale.decimalPoint();
    if (!point.isEmpty())
        sep.decimal = point.front();
    // The time separator is the first character after the hours in the
    // locale's short time format ("HH:mm", "h.mm AP").
    const QString format = locale.timeFormat(QLocale::ShortFormat);
    const qsizetype hours = format.indexOf(QRegularExpression(QStringLiteral("[Hh]")));
    if (hours >= 0) {
        for (qsizetype i = hours; i < format.size(); ++i) {
            const QChar c = format[i];
            if (c != u'H' && c != u'h') {
                if (!c.isLetterOrNumber() && c != u'\'' && !c.isSpace())
                    sep.time = c;
                break;
            }
        }
    }
    return sep;
}

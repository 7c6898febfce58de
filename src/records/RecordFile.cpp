#include "records/RecordFile.h"

#include "fit/FitTable.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <limits>

namespace {

namespace chrono = std::chrono;

// The days since 1970-01-01 of a valid date.
std::int64_t DaysOf(int year, int month, int day)
{
    return chrono::sys_days(chrono::year(year) / month / day).time_since_epoch().count();
}

// The date of a record minute, and the minute within its day.
chrono::year_month_day DateOf(std::int32_t minute, int &inDay)
{
    const auto day = chrono::floor<chrono::days>(chrono::sys_time<chrono::minutes>(chrono::minutes(minute)));
    inDay = int(minute - chrono::duration_cast<chrono::minutes>(day.time_since_epoch()).count());
    return chrono::year_month_day(day);
}

// The years a record may name: any rain gauge's, with room.
constexpr int FirstYear = 1800;
constexpr int LastYear = 2200;

bool ValidTime(int year, int month, int day, int hour, int minute)
{
    return year >= FirstYear && year <= LastYear && month >= 1 && month <= 12 && day >= 1 && day <= 31 &&
           (chrono::year(year) / month / day).ok() && hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Reads 1 to `most` digits at p; -1 when there is none.
int Digits(const char *&p, const char *e, int most)
{
    int value = 0;
    int count = 0;
    while (p < e && count < most && IsDigit(*p)) {
        value = value * 10 + (*p - '0');
        ++p;
        ++count;
    }
    return count ? value : -1;
}

int FixedDigits(const char *p, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i) {
        if (!IsDigit(p[i]))
            return -1;
        value = value * 10 + (p[i] - '0');
    }
    return value;
}

// A timestamp in one of the forms people have; false when it is none of them
// or names no real minute.
bool ParseTimestamp(const char *b, const char *e, std::int32_t &minute)
{
    int year, month, day, hour, min, second = 0;
    const qsizetype length = e - b;
    if ((length == 12 || length == 14) && std::all_of(b, e, IsDigit)) {
        year = FixedDigits(b, 4);
        month = FixedDigits(b + 4, 2);
        day = FixedDigits(b + 6, 2);
        hour = FixedDigits(b + 8, 2);
        min = FixedDigits(b + 10, 2);
        if (length == 14)
            second = FixedDigits(b + 12, 2);
    } else {
        const char *p = b;
        year = Digits(p, e, 4);
        if (year < 0 || p == e || (*p != '-' && *p != '/'))
            return false;
        const char separator = *p++;
        month = Digits(p, e, 2);
        if (month < 0 || p == e || *p != separator)
            return false;
        ++p;
        day = Digits(p, e, 2);
        if (day < 0 || p == e || (*p != ' ' && *p != 'T' && *p != '\t'))
            return false;
        while (p < e && (*p == ' ' || *p == 'T' || *p == '\t'))
            ++p;
        hour = Digits(p, e, 2);
        if (hour < 0 || p == e || *p != ':')
            return false;
        ++p;
        const char *minuteStart = p;
        min = Digits(p, e, 2);
        if (p - minuteStart != 2)
            return false;
        if (p < e && *p == ':') {
            ++p;
            const char *secondStart = p;
            second = Digits(p, e, 2);
            if (p - secondStart != 2)
                return false;
        }
        if (p != e)
            return false;
    }
    // A record's intervals are whole minutes.
    if (second != 0 || !ValidTime(year, month, day, hour, min))
        return false;
    minute = RecordMinute(year, month, day, hour, min);
    return true;
}

enum class DepthParse
{
    Ok,
    NotNumber,
    Negative,
};

// A decimal depth in the file's unit as thousandths of a millimetre.
DepthParse ParseDepth(const char *p, const char *e, RecordUnit unit, std::int64_t &thousandths)
{
    if (p < e && *p == '+')
        ++p;
    if (p < e && *p == '-') {
        // "-0" and "-0.0" are no rain; any other negative number is an error.
        ++p;
        const char *q = p;
        bool digits = false;
        bool nonzero = false;
        for (; q < e; ++q) {
            if (IsDigit(*q)) {
                digits = true;
                nonzero |= *q != '0';
            } else if (*q != '.') {
                return DepthParse::NotNumber;
            }
        }
        if (!digits)
            return DepthParse::NotNumber;
        if (nonzero)
            return DepthParse::Negative;
    }
    // Whole part and up to six decimals, as millionths of the file's unit.
    std::int64_t whole = 0;
    int wholeDigits = 0;
    while (p < e && IsDigit(*p)) {
        if (whole < 10'000'000'000LL) // beyond any gauge; kept from overflowing below
            whole = whole * 10 + (*p - '0');
        ++p;
        ++wholeDigits;
    }
    std::int64_t fraction = 0;
    int fractionDigits = 0;
    if (p < e && *p == '.') {
        ++p;
        while (p < e && IsDigit(*p)) {
            if (fractionDigits < 6) {
                fraction = fraction * 10 + (*p - '0');
                ++fractionDigits;
            }
            ++p;
        }
    }
    if (p != e || (wholeDigits == 0 && fractionDigits == 0))
        return DepthParse::NotNumber;
    for (int i = fractionDigits; i < 6; ++i)
        fraction *= 10;
    const std::int64_t millionths = whole * 1'000'000 + fraction;
    thousandths = unit == RecordUnit::Millimetre ? (millionths + 500) / 1000 : (millionths + 5000) / 10000;
    return DepthParse::Ok;
}

QString ColumnName(RecordColumn column)
{
    switch (column) {
    case RecordColumn::Time:
        return QStringLiteral("时间");
    case RecordColumn::Year:
        return QStringLiteral("年");
    case RecordColumn::Month:
        return QStringLiteral("月");
    case RecordColumn::Day:
        return QStringLiteral("日");
    case RecordColumn::Hour:
        return QStringLiteral("时");
    case RecordColumn::Minute:
        return QStringLiteral("分");
    case RecordColumn::Depth:
        return QStringLiteral("雨量");
    case RecordColumn::Skip:
        break;
    }
    return QStringLiteral("-");
}

// The column a name means; Skip for a name the records do not use.
RecordColumn ColumnOfName(QString name)
{
    name = name.trimmed().toLower();
    for (const QChar open : {u'(', u'（', u'['}) {
        const qsizetype cut = name.indexOf(open);
        if (cut > 0)
            name.truncate(cut);
    }
    name.remove(u' ');
    static const struct
    {
        const char16_t *name;
        RecordColumn column;
    } Names[] = {
        {u"时间", RecordColumn::Time},      {u"日期时间", RecordColumn::Time},
        {u"观测时间", RecordColumn::Time},  {u"time", RecordColumn::Time},
        {u"datetime", RecordColumn::Time},  {u"date_time", RecordColumn::Time},
        {u"timestamp", RecordColumn::Time}, {u"年", RecordColumn::Year},
        {u"年份", RecordColumn::Year},      {u"year", RecordColumn::Year},
        {u"月", RecordColumn::Month},       {u"月份", RecordColumn::Month},
        {u"month", RecordColumn::Month},    {u"日", RecordColumn::Day},
        {u"day", RecordColumn::Day},        {u"时", RecordColumn::Hour},
        {u"小时", RecordColumn::Hour},      {u"hour", RecordColumn::Hour},
        {u"分", RecordColumn::Minute},      {u"分钟", RecordColumn::Minute},
        {u"minute", RecordColumn::Minute},  {u"min", RecordColumn::Minute},
        {u"雨量", RecordColumn::Depth},     {u"降雨量", RecordColumn::Depth},
        {u"降水量", RecordColumn::Depth},   {u"depth", RecordColumn::Depth},
        {u"rain", RecordColumn::Depth},     {u"rainfall", RecordColumn::Depth},
        {u"precip", RecordColumn::Depth},   {u"precipitation", RecordColumn::Depth},
    };
    for (const auto &entry : Names)
        if (name == QStringView(entry.name))
            return entry.column;
    return RecordColumn::Skip;
}

// Whether the columns say where the timestamp and the depth are: one depth,
// and either one timestamp or all five of year to minute, none twice.
bool CompleteColumns(const std::vector<RecordColumn> &columns)
{
    const auto count = [&](RecordColumn c) { return std::count(columns.begin(), columns.end(), c); };
    if (count(RecordColumn::Depth) != 1)
        return false;
    const bool parts = count(RecordColumn::Year) == 1 && count(RecordColumn::Month) == 1 &&
                       count(RecordColumn::Day) == 1 && count(RecordColumn::Hour) == 1 &&
                       count(RecordColumn::Minute) == 1;
    const bool anyPart = count(RecordColumn::Year) + count(RecordColumn::Month) + count(RecordColumn::Day) +
                             count(RecordColumn::Hour) + count(RecordColumn::Minute) >
                         0;
    return count(RecordColumn::Time) == 1 ? !anyPart : parts;
}

QString ColumnHint()
{
    return QStringLiteral("（如“时间,雨量”或“年,月,日,时,分,雨量”）");
}

enum class Delimiter
{
    Comma,
    Tab,
    Semicolon,
    Blank,
};

struct Field
{
    const char *b;
    const char *e;
};

class RecordParser
{
public:
    RecordParser(const QString &file, const RecordFormat &format) : m_format(format)
    {
        m_rows.file = file;
        m_fields.reserve(16);
    }

    void feed(QByteArrayView chunk)
    {
        const char *p = chunk.data();
        const char *const end = p + chunk.size();
        if (!m_carry.isEmpty()) {
            const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!newline) {
                m_carry.append(p, end - p);
                return;
            }
            m_carry.append(p, newline - p);
            line(m_carry.constData(), m_carry.constData() + m_carry.size());
            m_carry.clear();
            p = newline + 1;
        }
        while (p < end) {
            const char *newline = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
            if (!newline) {
                m_carry.append(p, end - p);
                return;
            }
            line(p, newline);
            p = newline + 1;
        }
    }

    RecordRows finish()
    {
        if (!m_carry.isEmpty()) {
            line(m_carry.constData(), m_carry.constData() + m_carry.size());
            m_carry.clear();
        }
        return std::move(m_rows);
    }

private:
    [[noreturn]] void fail(int column, const QString &what) const
    {
        throw PluvionError(RecordPlace(m_rows.file, m_line, column) + what);
    }

    static QString cell(const Field &field)
    {
        return ValueExcerpt(QString::fromUtf8(field.b, field.e - field.b));
    }

    void split(const char *b, const char *e)
    {
        m_fields.clear();
        if (m_delimiter == Delimiter::Blank) {
            const char *p = b;
            while (true) {
                while (p < e && (*p == ' ' || *p == '\t'))
                    ++p;
                if (p == e)
                    break;
                const char *start = p;
                while (p < e && *p != ' ' && *p != '\t')
                    ++p;
                m_fields.push_back({start, p});
            }
            // "2019-07-21 14:05" is one timestamp even where blanks separate the columns.
            for (size_t i = 0; i + 1 < m_fields.size(); ++i) {
                const Field &date = m_fields[i];
                const Field &clock = m_fields[i + 1];
                if (std::find(date.b, date.e, ':') == date.e &&
                    (std::find(date.b, date.e, '-') != date.e || std::find(date.b, date.e, '/') != date.e) &&
                    IsDigit(*clock.b) && std::find(clock.b, clock.e, ':') != clock.e) {
                    m_fields[i].e = clock.e;
                    m_fields.erase(m_fields.begin() + qsizetype(i) + 1);
                }
            }
            return;
        }
        const char separator = m_delimiter == Delimiter::Comma ? ','
                               : m_delimiter == Delimiter::Tab ? '\t'
                                                               : ';';
        const char *p = b;
        while (true) {
            const char *q = static_cast<const char *>(std::memchr(p, separator, size_t(e - p)));
            const char *fe = q ? q : e;
            const char *fb = p;
            while (fb < fe && (*fb == ' ' || *fb == '\t'))
                ++fb;
            while (fe > fb && (fe[-1] == ' ' || fe[-1] == '\t'))
                --fe;
            if (fe - fb >= 2 && *fb == '"' && fe[-1] == '"') {
                ++fb;
                --fe;
            }
            m_fields.push_back({fb, fe});
            if (!q)
                break;
            p = q + 1;
        }
    }

    // The first line that is not blank tells the separator and, when no
    // columns are set, the layout: a header row, or two columns.
    bool layout(const char *b, const char *e)
    {
        if (std::find(b, e, '\t') != e)
            m_delimiter = Delimiter::Tab;
        else if (std::find(b, e, ',') != e)
            m_delimiter = Delimiter::Comma;
        else if (std::find(b, e, ';') != e)
            m_delimiter = Delimiter::Semicolon;
        else
            m_delimiter = Delimiter::Blank;
        split(b, e);
        const bool header =
            !m_fields.empty() && m_fields.front().b < m_fields.front().e && !IsDigit(*m_fields.front().b);
        if (!m_format.columns.empty()) {
            m_columns = m_format.columns;
        } else if (header) {
            const QString text = DecodeFitLines(QByteArray(b, e - b)).value(0);
            const QStringList names = m_delimiter == Delimiter::Comma ? SplitCsvLine(text)
                                      : m_delimiter == Delimiter::Blank
                                          ? text.simplified().split(u' ', Qt::SkipEmptyParts)
                                          : text.split(m_delimiter == Delimiter::Tab ? u'\t' : u';');
            for (const QString &name : names) {
                QString plain = name.trimmed();
                if (plain.size() >= 2 && plain.startsWith(u'"') && plain.endsWith(u'"'))
                    plain = plain.mid(1, plain.size() - 2);
                m_columns.push_back(ColumnOfName(plain));
            }
            if (!CompleteColumns(m_columns))
                throw PluvionError(QStringLiteral("文件 %1 第 %2 行：列名中找不到时间和雨量各一列%3")
                                       .arg(m_rows.file)
                                       .arg(m_line)
                                       .arg(ColumnHint()));
        } else if (m_fields.size() == 2) {
            m_columns = {RecordColumn::Time, RecordColumn::Depth};
        } else {
            throw PluvionError(
                QStringLiteral("文件 %1 第 %2 行：无法判断各列的含义，请在第一行写出列名%3，或指定各列的含义")
                    .arg(m_rows.file)
                    .arg(m_line)
                    .arg(ColumnHint()));
        }
        m_needed = 0;
        for (size_t c = 0; c < m_columns.size(); ++c) {
            if (m_columns[c] != RecordColumn::Skip)
                m_needed = c + 1;
            if (m_columns[c] == RecordColumn::Depth)
                m_rows.depthColumn = int(c + 1);
        }
        for (size_t c = 0; c < m_columns.size(); ++c)
            if (m_columns[c] == RecordColumn::Time || m_columns[c] == RecordColumn::Year) {
                m_rows.timeColumn = int(c + 1);
                break;
            }
        return header;
    }

    void line(const char *b, const char *e)
    {
        ++m_line;
        if (m_line == 1 && e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0)
            b += 3;
        if (e > b && e[-1] == '\r')
            --e;
        const char *p = b;
        while (p < e && (*p == ' ' || *p == '\t' || *p == ',' || *p == ';'))
            ++p;
        if (p == e)
            return; // a blank line
        if (m_columns.empty() && layout(b, e))
            return; // the header
        split(b, e);
        row();
    }

    int integer(const Field &field, int column, RecordColumn what) const
    {
        const char *p = field.b;
        const int value = Digits(p, field.e, 4);
        if (value < 0 || p != field.e)
            fail(column, QStringLiteral("“%1”不是有效的%2").arg(cell(field), ColumnName(what)));
        return value;
    }

    void row()
    {
        if (m_fields.size() < m_needed) {
            const size_t c = m_fields.size();
            fail(int(c + 1), QStringLiteral("缺少%1").arg(ColumnName(m_columns[c])));
        }
        if (m_fields.size() > m_columns.size())
            fail(int(m_columns.size() + 1), QStringLiteral("多出一列“%1”：各行应为 %2 列")
                                                .arg(cell(m_fields[m_columns.size()]))
                                                .arg(m_columns.size()));
        std::int32_t minute = 0;
        std::int64_t depth = 0;
        int parts[5] = {-1, -1, -1, -1, -1};
        int firstPart = 0;
        for (size_t c = 0; c < m_needed; ++c) {
            const Field &field = m_fields[c];
            const RecordColumn column = m_columns[c];
            switch (column) {
            case RecordColumn::Skip:
                break;
            case RecordColumn::Time:
                if (field.b == field.e)
                    fail(int(c + 1), QStringLiteral("缺少时间"));
                if (!ParseTimestamp(field.b, field.e, minute))
                    fail(int(c + 1), QStringLiteral("“%1”不是可识别的时间（应如 2019-07-21 14:05、2019/7/21 "
                                                    "14:05、201907211405 或 2019-07-21T14:05:00）")
                                         .arg(cell(field)));
                break;
            case RecordColumn::Depth:
                switch (ParseDepth(field.b, field.e, m_format.unit, depth)) {
                case DepthParse::Ok:
                    break;
                case DepthParse::NotNumber:
                    if (field.b == field.e)
                        fail(int(c + 1), QStringLiteral("缺少雨量"));
                    fail(int(c + 1), QStringLiteral("雨量“%1”不是数字").arg(cell(field)));
                case DepthParse::Negative:
                    fail(int(c + 1), QStringLiteral("雨量 %1 为负数").arg(cell(field)));
                }
                break;
            default: {
                const int part = int(column) - int(RecordColumn::Year);
                if (!firstPart)
                    firstPart = int(c + 1);
                parts[part] = integer(field, int(c + 1), column);
            }
            }
        }
        if (parts[0] >= 0) {
            if (!ValidTime(parts[0], parts[1], parts[2], parts[3], parts[4]))
                fail(m_rows.timeColumn, QStringLiteral("%1年%2月%3日%4时%5分不是有效的时间")
                                            .arg(parts[0])
                                            .arg(parts[1])
                                            .arg(parts[2])
                                            .arg(parts[3])
                                            .arg(parts[4]));
            minute = RecordMinute(parts[0], parts[1], parts[2], parts[3], parts[4]);
        }
        m_rows.minutes.push_back(minute);
        m_rows.depths.push_back(
            std::int32_t(std::min<std::int64_t>(depth, std::numeric_limits<std::int32_t>::max())));
        m_rows.lines.push_back(
            std::int32_t(std::min<qint64>(m_line, std::numeric_limits<std::int32_t>::max())));
    }

    const RecordFormat &m_format;
    RecordRows m_rows;
    QByteArray m_carry;
    qint64 m_line = 0;
    Delimiter m_delimiter = Delimiter::Comma;
    std::vector<RecordColumn> m_columns;
    size_t m_needed = 0;
    std::vector<Field> m_fields;
};

} // namespace

std::vector<RecordColumn> ParseRecordColumns(const QString &text)
{
    std::vector<RecordColumn> columns;
    for (const QString &item : text.split(u',')) {
        const QString name = item.trimmed();
        if (name == QStringLiteral("-")) {
            columns.push_back(RecordColumn::Skip);
            continue;
        }
        const RecordColumn column = ColumnOfName(name);
        if (column == RecordColumn::Skip)
            throw PluvionError(
                QStringLiteral("列“%1”不是可识别的列名（可用 time、year、month、day、hour、minute、"
                               "depth 或 -）")
                    .arg(ValueExcerpt(name)));
        columns.push_back(column);
    }
    if (!CompleteColumns(columns))
        throw PluvionError(QStringLiteral("各列“%1”应含雨量一列，以及时间一列或年、月、日、时、分各一列")
                               .arg(ValueExcerpt(text)));
    return columns;
}

std::int32_t RecordMinute(int year, int month, int day, int hour, int minute)
{
    return std::int32_t(DaysOf(year, month, day) * 1440 + hour * 60 + minute);
}

int RecordYearOf(std::int32_t minute)
{
    int inDay = 0;
    return int(DateOf(minute, inDay).year());
}

QString RecordTimeText(std::int32_t minute)
{
    int inDay = 0;
    const chrono::year_month_day date = DateOf(minute, inDay);
    return QStringLiteral("%1-%2-%3 %4:%5")
        .arg(int(date.year()))
        .arg(unsigned(date.month()), 2, 10, QChar(u'0'))
        .arg(unsigned(date.day()), 2, 10, QChar(u'0'))
        .arg(inDay / 60, 2, 10, QChar(u'0'))
        .arg(inDay % 60, 2, 10, QChar(u'0'));
}

QString RecordDepthText(std::int64_t thousandths)
{
    QString text = QString::number(double(thousandths) / DepthPerMillimetre, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

void ReportRecordProgress(const RecordProgress &progress, double fraction)
{
    if (progress && !progress(std::clamp(fraction, 0.0, 1.0)))
        throw PluvionError(QStringLiteral("已取消"), PluvionErrorKind::Cancelled);
}

QString RecordPlace(const QString &file, qint64 line, int column)
{
    return QStringLiteral("文件 %1 第 %2 行第 %3 列：").arg(file).arg(line).arg(column);
}

RecordRows ParseRecordBytes(QByteArrayView bytes, const QString &file, const RecordFormat &format)
{
    RecordParser parser(file, format);
    parser.feed(bytes);
    return parser.finish();
}

RecordRows ReadRecordFile(const QString &path, const RecordFormat &format,
                          const std::function<void(qint64 bytesRead)> &progress, qsizetype chunkBytes)
{
    RecordParser parser(path, format);
    qint64 done = 0;
    ReadFileInChunks(path, RecordFileLimit, chunkBytes, [&](QByteArrayView chunk) {
        parser.feed(chunk);
        done += chunk.size();
        if (progress)
            progress(done);
    });
    return parser.finish();
}

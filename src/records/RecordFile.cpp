#include "records/RecordFile.h"

#include "fit/FitTable.h"
#include "io/FileBytes.h"
#include "model/PluvionError.h"

#include <QStringList>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <sys/mman.h>
#include <thread>

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

bool ValidYear(int year)
{
    return year >= FirstRecordYear && year <= LastRecordYear;
}

bool ValidDate(int year, int month, int day)
{
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && (chrono::year(year) / month / day).ok();
}

bool ValidClock(int hour, int minute)
{
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59;
}

QString YearRangeText()
{
    return QStringLiteral("年份应在 %1 至 %2 之间").arg(FirstRecordYear).arg(LastRecordYear);
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

// The day of the date read last: a record lists a day's minutes one after
// another, so the calendar is asked once a day.
struct DateMemo
{
    int year = 0;
    int month = 0;
    int day = 0;
    std::int64_t days = 0;
};

enum class TimeParse
{
    Ok,
    Unreadable,
    YearOutside,
};

// The minute of a date and a clock time read from a record.
TimeParse RecordTime(int year, int month, int day, int hour, int min, DateMemo &memo, std::int32_t &minute)
{
    if (year != memo.year || month != memo.month || day != memo.day) {
        if (!ValidYear(year))
            return TimeParse::YearOutside;
        if (!ValidDate(year, month, day))
            return TimeParse::Unreadable;
        memo = {year, month, day, DaysOf(year, month, day)};
    }
    if (!ValidClock(hour, min))
        return TimeParse::Unreadable;
    minute = std::int32_t(memo.days * 1440 + hour * 60 + min);
    return TimeParse::Ok;
}

// A timestamp in one of the forms people have. Unreadable when it is none of
// them or names no real minute; YearOutside when its year is none a record
// may name.
TimeParse ParseTimestamp(const char *b, const char *e, DateMemo &memo, std::int32_t &minute)
{
    int year, month, day, hour, min, second = 0;
    const qsizetype length = e - b;
    if (length == 16 && (b[4] == '-' || b[4] == '/') && b[7] == b[4] &&
        (b[10] == ' ' || b[10] == 'T' || b[10] == '\t') && b[13] == ':') {
        // "2019-07-21 14:05", the form most records have.
        year = FixedDigits(b, 4);
        month = FixedDigits(b + 5, 2);
        day = FixedDigits(b + 8, 2);
        hour = FixedDigits(b + 11, 2);
        min = FixedDigits(b + 14, 2);
        if ((year | month | day | hour | min) < 0)
            return TimeParse::Unreadable;
    } else if ((length == 12 || length == 14) && std::all_of(b, e, IsDigit)) {
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
            return TimeParse::Unreadable;
        const char separator = *p++;
        month = Digits(p, e, 2);
        if (month < 0 || p == e || *p != separator)
            return TimeParse::Unreadable;
        ++p;
        day = Digits(p, e, 2);
        if (day < 0 || p == e || (*p != ' ' && *p != 'T' && *p != '\t'))
            return TimeParse::Unreadable;
        while (p < e && (*p == ' ' || *p == 'T' || *p == '\t'))
            ++p;
        hour = Digits(p, e, 2);
        if (hour < 0 || p == e || *p != ':')
            return TimeParse::Unreadable;
        ++p;
        const char *minuteStart = p;
        min = Digits(p, e, 2);
        if (p - minuteStart != 2)
            return TimeParse::Unreadable;
        if (p < e && *p == ':') {
            ++p;
            const char *secondStart = p;
            second = Digits(p, e, 2);
            if (p - secondStart != 2)
                return TimeParse::Unreadable;
        }
        if (p != e)
            return TimeParse::Unreadable;
    }
    // A record's intervals are whole minutes.
    if (!ValidYear(year))
        return TimeParse::YearOutside;
    if (second != 0)
        return TimeParse::Unreadable;
    return RecordTime(year, month, day, hour, min, memo, minute);
}

enum class DepthParse
{
    Ok,
    NotNumber,
    Negative,
    TooLarge,
    Fraction,
};

// A decimal depth in the file's unit as thousandths of a millimetre.
DepthParse ParseDepth(const char *p, const char *e, RecordUnit unit, std::int64_t &thousandths)
{
    if (p < e && *p == '+')
        ++p;
    bool negativeZero = false;
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
        negativeZero = true;
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
    const bool point = p < e && *p == '.';
    if (point) {
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
    // Tenths of a millimetre are counted, never measured in parts.
    if (point && unit == RecordUnit::TenthMillimetre)
        return DepthParse::Fraction;
    if (negativeZero) {
        thousandths = 0;
        return DepthParse::Ok;
    }
    for (int i = fractionDigits; i < 6; ++i)
        fraction *= 10;
    const std::int64_t millionths = whole * 1'000'000 + fraction;
    thousandths = unit == RecordUnit::Millimetre ? (millionths + 500) / 1000 : (millionths + 5000) / 10000;
    if (thousandths > std::numeric_limits<std::int32_t>::max())
        return DepthParse::TooLarge;
    return DepthParse::Ok;
}

// The depths most records write, a few digits and up to as many decimals as
// thousandths of a millimetre hold, as ParseDepth reads them; false for any
// other, which ParseDepth then reads.
bool QuickDepth(const char *p, const char *e, RecordUnit unit, std::int64_t &thousandths)
{
    if (e - p > 8)
        return false;
    std::int64_t value = 0;
    int decimals = -1;
    for (; p < e; ++p) {
        if (IsDigit(*p)) {
            value = value * 10 + (*p - '0');
            decimals += decimals >= 0;
        } else if (*p == '.' && decimals < 0 && unit == RecordUnit::Millimetre) {
            decimals = 0;
        } else {
            return false;
        }
    }
    static constexpr std::int64_t Scale[] = {1000, 100, 10, 1};
    if (decimals > 3)
        return false;
    thousandths = unit == RecordUnit::TenthMillimetre ? value * 100 : value * Scale[std::max(decimals, 0)];
    return thousandths <= std::numeric_limits<std::int32_t>::max();
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

bool IsOpeningBracket(QChar c)
{
    return c == u'(' || c == u'（' || c == u'[';
}

// The column a name means; Skip for a name the records do not use.
RecordColumn ColumnOfName(QString name)
{
    name = name.trimmed().toLower();
    const auto open = std::find_if(name.begin(), name.end(), IsOpeningBracket);
    if (open != name.begin())
        name.truncate(open - name.begin());
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

// The unit a column name gives in brackets of either width: 雨量(mm),
// 雨量（0.1mm）, 雨量(0.1 mm), 雨量[毫米]; none for a name without one or with
// another text there.
std::optional<RecordUnit> UnitOfName(const QString &name)
{
    const auto open = std::find_if(name.begin(), name.end(), IsOpeningBracket);
    if (open == name.end())
        return std::nullopt;
    const auto close =
        std::find_if(open + 1, name.end(), [](QChar c) { return c == u')' || c == u'）' || c == u']'; });
    QString unit = QStringView(open + 1, close).toString().toLower();
    unit.remove(u' ');
    unit.remove(u'\u3000');
    if (unit == QStringLiteral("mm") || unit == QStringLiteral("毫米"))
        return RecordUnit::Millimetre;
    if (unit == QStringLiteral("0.1mm") || unit == QStringLiteral("0.1毫米"))
        return RecordUnit::TenthMillimetre;
    return std::nullopt;
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

// What is wrong with a cell, its line counted from where its reader began:
// the reader of a file's second half learns the line it began at only when
// the first half is read.
struct CellFault
{
    qint64 line;
    int column;
    QString what;
};

// The most rows `bytes` of a record can hold: a row is at least a 12-digit
// timestamp, a separator, one digit and a line end.
size_t RowBound(qint64 bytes)
{
    return size_t(bytes / 14 + 2);
}

const char *Find(const char *p, const char *end, char c)
{
    const void *found = std::memchr(p, c, size_t(end - p));
    return found ? static_cast<const char *>(found) : end;
}

// Calls `line(b, e)` for each whole line of [p, end) and returns where the
// first line not yet ended starts. A line ends at LF, CR LF or a lone CR;
// unless `final`, a CR at the very end may be the first half of a CR LF, and
// its line waits for the next piece. `quick(p, end)` may take a line first:
// it returns where the next line starts, or null to leave it to `line`.
template <typename Quick, typename Line>
const char *EachLine(const char *p, const char *end, bool final, Quick quick, Line line)
{
    if (p == end)
        return p;
    const char *lf = Find(p, end, '\n');
    const char *cr = Find(p, end, '\r');
    while (p < end) {
        if (const char *next = quick(p, end)) {
            p = next;
            continue;
        }
        if (lf < p)
            lf = Find(p, end, '\n');
        if (cr < p)
            cr = Find(p, end, '\r');
        const char *stop = std::min(lf, cr);
        const char *next = stop + 1;
        if (stop == end) {
            if (!final)
                return p;
            next = end;
        } else if (*stop == '\r') {
            if (next == end && !final)
                return p;
            if (next < end && *next == '\n')
                ++next;
        }
        line(p, stop);
        p = next;
    }
    return p;
}

class RecordParser
{
public:
    RecordParser(const QString &file, const RecordFormat &format, size_t rowBound) : m_format(format)
    {
        m_rows.file = file;
        m_fields.reserve(16);
        reserve(rowBound);
    }

    // A reader of a later part of the same file, from a line's start on, in
    // the layout `head` found; its lines are counted from that start.
    RecordParser(const RecordParser &head, size_t rowBound)
        : m_format(head.m_format), m_atStart(false), m_layoutKnown(head.m_layoutKnown),
          m_delimiter(head.m_delimiter), m_columns(head.m_columns), m_needed(head.m_needed),
          m_quick(head.m_quick), m_separator(head.m_separator), m_unit(head.m_unit)
    {
        m_rows.file = head.m_rows.file;
        m_rows.timeColumn = head.m_rows.timeColumn;
        m_rows.depthColumn = head.m_rows.depthColumn;
        m_fields.reserve(16);
        reserve(rowBound);
    }

    bool layoutKnown() const { return m_layoutKnown; }
    qint64 lines() const { return m_line; }
    RecordRows &rows() { return m_rows; }

    void feed(QByteArrayView chunk)
    {
        const char *p = chunk.data();
        const char *const end = p + chunk.size();
        if (p == end)
            return;
        const auto each = [this](const char *b, const char *e) { line(b, e); };
        const auto none = [](const char *, const char *) -> const char * { return nullptr; };
        const auto quick = [this](const char *b, const char *e) { return quickRow(b, e); };
        if (!m_carry.isEmpty()) {
            // The carried line ends in this piece: at its start when the last
            // piece ended in a CR, otherwise at its first line end.
            const char *after = p;
            if (m_carry.back() == '\r') {
                if (*p == '\n')
                    ++after;
            } else {
                const char *stop = std::min(Find(p, end, '\n'), Find(p, end, '\r'));
                if (stop == end || (*stop == '\r' && stop + 1 == end)) {
                    m_carry.append(p, end - p);
                    return;
                }
                after = stop + 1 + (*stop == '\r' && stop[1] == '\n');
            }
            m_carry.append(p, after - p);
            EachLine(m_carry.constData(), m_carry.constData() + m_carry.size(), true, none, each);
            m_carry.clear();
            p = after;
        }
        const char *rest =
            m_quick ? EachLine(p, end, false, quick, each) : EachLine(p, end, false, none, each);
        m_carry.append(rest, end - rest);
    }

    void finish()
    {
        if (!m_carry.isEmpty()) {
            EachLine(
                m_carry.constData(), m_carry.constData() + m_carry.size(), true,
                [](const char *, const char *) -> const char * { return nullptr; },
                [this](const char *b, const char *e) { line(b, e); });
            m_carry.clear();
        }
    }

private:
    void reserve(size_t rowBound)
    {
        ReserveRecordValues(m_rows.minutes, rowBound);
        ReserveRecordValues(m_rows.depths, rowBound);
    }

    [[noreturn]] void fail(int column, const QString &what) const { throw CellFault{m_line, column, what}; }

    // The cell as the file writes it, decoded as the header is.
    static QString cell(const Field &field)
    {
        return ValueExcerpt(DecodeFitLines(QByteArray(field.b, field.e - field.b)).value(0));
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
            const char *q = Find(p, e, separator);
            const char *fb = p;
            const char *fe = q;
            while (fb < fe && (*fb == ' ' || *fb == '\t'))
                ++fb;
            while (fe > fb && (fe[-1] == ' ' || fe[-1] == '\t'))
                --fe;
            if (fe - fb >= 2 && *fb == '"' && fe[-1] == '"') {
                ++fb;
                --fe;
            }
            m_fields.push_back({fb, fe});
            if (q == e)
                break;
            p = q + 1;
        }
    }

    // The first line that is not blank tells the separator and, when no
    // columns are set, the layout: a header row, or two columns. A header
    // row may name the depths' unit.
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
        QStringList names;
        if (header) {
            const QString text = DecodeFitLines(QByteArray(b, e - b)).value(0);
            names = m_delimiter == Delimiter::Comma ? SplitCsvLine(text)
                    : m_delimiter == Delimiter::Blank
                        ? text.simplified().split(u' ', Qt::SkipEmptyParts)
                        : text.split(m_delimiter == Delimiter::Tab ? u'\t' : u';');
            for (QString &name : names) {
                name = name.trimmed();
                if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
                    name = name.mid(1, name.size() - 2);
            }
        }
        if (!m_format.columns.empty()) {
            m_columns = m_format.columns;
        } else if (header) {
            for (const QString &name : names)
                m_columns.push_back(ColumnOfName(name));
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
        const std::optional<RecordUnit> named =
            m_rows.depthColumn <= names.size() ? UnitOfName(names[m_rows.depthColumn - 1]) : std::nullopt;
        if (named && m_format.unit && *named != *m_format.unit)
            throw PluvionError(QStringLiteral("文件 %1 的表头注明雨量单位为 %2，与指定的单位 %3 不符")
                                   .arg(m_rows.file, RecordUnitName(*named), RecordUnitName(*m_format.unit)));
        m_unit = m_format.unit.value_or(named.value_or(RecordUnit::Millimetre));
        m_layoutKnown = true;
        m_quick = m_delimiter != Delimiter::Blank && m_columns.size() == 2 &&
                  m_columns[0] == RecordColumn::Time && m_columns[1] == RecordColumn::Depth;
        m_separator = m_delimiter == Delimiter::Comma ? ',' : m_delimiter == Delimiter::Tab ? '\t' : ';';
        return header;
    }

    // A row of the form most records have, "2019-07-21 14:05,0.5" and its
    // line end, read without splitting it into cells; null for any other line,
    // which line() then reads (and says what is wrong with it).
    const char *quickRow(const char *p, const char *end)
    {
        if (end - p < 19 || p[16] != m_separator || m_atStart)
            return nullptr;
        const char *const depthStart = p + 17;
        const char *q = depthStart;
        while (q < end && (IsDigit(*q) || *q == '.'))
            ++q;
        if (q == end || q == depthStart)
            return nullptr;
        const char *next = q + 1;
        if (*q == '\r') {
            if (next == end)
                return nullptr; // maybe a CR LF cut between two pieces
            next += *next == '\n';
        } else if (*q != '\n') {
            return nullptr;
        }
        std::int32_t minute = 0;
        if (m_dayKnown && std::memcmp(p, m_dayText, sizeof m_dayText) == 0 &&
            (p[10] == ' ' || p[10] == 'T') && p[13] == ':') {
            // Another minute of the day before.
            const int hour = FixedDigits(p + 11, 2);
            const int min = FixedDigits(p + 14, 2);
            if (hour < 0 || min < 0 || !ValidClock(hour, min))
                return nullptr;
            minute = m_dayStart + hour * 60 + min;
        } else {
            if (ParseTimestamp(p, p + 16, m_date, minute) != TimeParse::Ok)
                return nullptr;
            std::memcpy(m_dayText, p, sizeof m_dayText);
            m_dayKnown = true;
            m_dayStart = std::int32_t(m_date.days * 1440);
        }
        std::int64_t depth = 0;
        if (!QuickDepth(depthStart, q, m_unit, depth) &&
            ParseDepth(depthStart, q, m_unit, depth) != DepthParse::Ok)
            return nullptr;
        ++m_line;
        add(minute, depth);
        return next;
    }

    void add(std::int32_t minute, std::int64_t depth)
    {
        m_rows.minutes.push_back(minute);
        m_rows.depths.push_back(std::int32_t(depth));
        // Most rows follow on the next line: only a jump is noted.
        if (m_line != m_nextLine)
            m_rows.noteLine(m_rows.minutes.size() - 1, m_line);
        m_nextLine = m_line + 1;
    }

    void line(const char *b, const char *e)
    {
        ++m_line;
        if (m_atStart) {
            m_atStart = false;
            if (e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0)
                b += 3;
        }
        const char *p = b;
        while (p < e && (*p == ' ' || *p == '\t' || *p == ',' || *p == ';'))
            ++p;
        if (p == e)
            return; // a blank line
        if (!m_layoutKnown && layout(b, e))
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
        for (size_t c = 0; c < m_needed; ++c) {
            const Field &field = m_fields[c];
            const RecordColumn column = m_columns[c];
            switch (column) {
            case RecordColumn::Skip:
                break;
            case RecordColumn::Time:
                if (field.b == field.e)
                    fail(int(c + 1), QStringLiteral("缺少时间"));
                switch (ParseTimestamp(field.b, field.e, m_date, minute)) {
                case TimeParse::Ok:
                    break;
                case TimeParse::Unreadable:
                    fail(int(c + 1), QStringLiteral("“%1”不是可识别的时间（应如 2019-07-21 14:05、2019/7/21 "
                                                    "14:05、201907211405 或 2019-07-21T14:05:00）")
                                         .arg(cell(field)));
                case TimeParse::YearOutside:
                    fail(int(c + 1), QStringLiteral("时间“%1”不可用：%2").arg(cell(field), YearRangeText()));
                }
                break;
            case RecordColumn::Depth:
                switch (ParseDepth(field.b, field.e, m_unit, depth)) {
                case DepthParse::Ok:
                    break;
                case DepthParse::NotNumber:
                    if (field.b == field.e)
                        fail(int(c + 1), QStringLiteral("缺少雨量"));
                    fail(int(c + 1), QStringLiteral("雨量“%1”不是数字").arg(cell(field)));
                case DepthParse::Negative:
                    fail(int(c + 1), QStringLiteral("雨量 %1 为负数").arg(cell(field)));
                case DepthParse::TooLarge:
                    fail(int(c + 1),
                         QStringLiteral("雨量“%1”过大，不是一个时段可能测得的雨量").arg(cell(field)));
                case DepthParse::Fraction:
                    fail(int(c + 1),
                         QStringLiteral("雨量“%1”带小数，而单位 0.1mm 的雨量应为整数").arg(cell(field)));
                }
                break;
            default:
                parts[int(column) - int(RecordColumn::Year)] = integer(field, int(c + 1), column);
            }
        }
        if (parts[0] >= 0) {
            switch (RecordTime(parts[0], parts[1], parts[2], parts[3], parts[4], m_date, minute)) {
            case TimeParse::Ok:
                break;
            case TimeParse::Unreadable:
                fail(m_rows.timeColumn, QStringLiteral("%1年%2月%3日%4时%5分不是有效的时间")
                                            .arg(parts[0])
                                            .arg(parts[1])
                                            .arg(parts[2])
                                            .arg(parts[3])
                                            .arg(parts[4]));
            case TimeParse::YearOutside:
                fail(m_rows.timeColumn,
                     QStringLiteral("年份 %1 不可用：%2").arg(parts[0]).arg(YearRangeText()));
            }
        }
        add(minute, depth);
    }

    const RecordFormat &m_format;
    RecordRows m_rows;
    QByteArray m_carry;
    qint64 m_line = 0;
    qint64 m_nextLine = 0; // the line a row on the line after the last row's would have
    bool m_atStart = true; // the next line is the file's first, which may start with a byte-order mark
    bool m_layoutKnown = false;
    Delimiter m_delimiter = Delimiter::Comma;
    std::vector<RecordColumn> m_columns;
    size_t m_needed = 0;
    char m_dayText[10] = {}; // the date of the last quick row as written, and its first minute
    std::int32_t m_dayStart = 0;
    bool m_dayKnown = false;
    bool m_quick = false; // the rows may be "2019-07-21 14:05,0.5", read by quickRow
    char m_separator = ',';
    RecordUnit m_unit = RecordUnit::Millimetre;
    std::vector<Field> m_fields;
    DateMemo m_date;
};

// Hands out the bytes [offset, offset + size) of a record, in `buffer` when
// they must be copied; fewer only at its end.
using PieceReader = std::function<QByteArrayView(qint64 offset, qsizetype size, QByteArray &buffer)>;

// Where a line starts a little after `from`; `to` when no line ends in the
// bytes looked at.
qint64 NextLineStart(const PieceReader &read, qint64 from, qint64 to)
{
    QByteArray buffer;
    const QByteArrayView ahead = read(from, qsizetype(std::min<qint64>(64 * 1024, to - from)), buffer);
    for (qsizetype i = 0; i < ahead.size(); ++i) {
        if (ahead[i] == '\n')
            return from + i + 1;
        if (ahead[i] == '\r')
            return i + 1 < ahead.size() ? from + i + 1 + (ahead[i + 1] == '\n') : to;
    }
    return to;
}

// The second half of a record, read and parsed on a thread of its own while
// the calling thread reads the first. Destroyed before it is done (the first
// half failed, or the reading was cancelled), it stops after its piece.
class SecondHalf
{
public:
    SecondHalf(const RecordParser &head, const PieceReader &read, qint64 from, qint64 to,
               qsizetype pieceBytes)
        : m_parser(head, RowBound(to - from))
    {
        m_thread = std::thread([this, &read, from, to, pieceBytes] { run(read, from, to, pieceBytes); });
    }
    ~SecondHalf()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    SecondHalf(const SecondHalf &) = delete;
    SecondHalf &operator=(const SecondHalf &) = delete;

    qint64 done() const { return m_done; }

    // Waits for the end, calling `tick` every few hundredths of a second.
    void wait(const std::function<void()> &tick)
    {
        std::unique_lock lock(m_mutex);
        while (!m_finished) {
            m_changed.wait_for(lock, chrono::milliseconds(50));
            if (!m_finished) {
                lock.unlock();
                tick();
                lock.lock();
            }
        }
        lock.unlock();
        m_thread.join();
    }

    // Its rows, the lines counted on from the `linesBefore` of the first half;
    // rethrows what stopped it, a cell's line counted on alike.
    RecordParser &parsed(qint64 linesBefore)
    {
        if (m_failure) {
            try {
                std::rethrow_exception(m_failure);
            } catch (const CellFault &fault) {
                throw CellFault{fault.line + linesBefore, fault.column, fault.what};
            }
        }
        return m_parser;
    }

private:
    void run(const PieceReader &read, qint64 from, qint64 to, qsizetype pieceBytes)
    {
        try {
            QByteArray buffer;
            for (qint64 at = from; at < to && !m_stop;) {
                const QByteArrayView piece =
                    read(at, qsizetype(std::min<qint64>(pieceBytes, to - at)), buffer);
                if (piece.isEmpty())
                    break; // the file was cut short while it was read
                m_parser.feed(piece);
                at += piece.size();
                m_done = at - from;
            }
            m_parser.finish();
        } catch (...) {
            m_failure = std::current_exception();
        }
        const std::lock_guard lock(m_mutex);
        m_finished = true;
        m_changed.notify_all();
    }

    RecordParser m_parser;
    std::exception_ptr m_failure;
    std::atomic<qint64> m_done{0};
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_finished = false;
    std::thread m_thread;
};

// The rows of a record of `size` bytes, read in pieces of `pieceBytes`: the
// first lines on the calling thread until they tell the layout, then, when
// more than two pieces are left, the rest in two halves on two threads.
RecordRows ReadRecord(qint64 size, const PieceReader &read, const QString &file, const RecordFormat &format,
                      qsizetype pieceBytes, const std::function<void(qint64)> &progress)
{
    pieceBytes = std::max<qsizetype>(pieceBytes, 1);
    try {
        RecordParser head(file, format, RowBound(size));
        QByteArray buffer;
        qint64 at = 0;
        std::unique_ptr<SecondHalf> second;
        const auto report = [&] {
            if (progress)
                progress(at + (second ? second->done() : 0));
        };
        // Reads on up to `end`; false when the file ends before.
        const auto readUpTo = [&](qint64 end, bool untilLayout) {
            while (at < end && !(untilLayout && head.layoutKnown())) {
                const QByteArrayView piece =
                    read(at, qsizetype(std::min<qint64>(pieceBytes, end - at)), buffer);
                if (piece.isEmpty())
                    return false; // the file was cut short while it was read
                head.feed(piece);
                at += piece.size();
                report();
            }
            return true;
        };
        if (readUpTo(size, true) && size - at > 2 * qint64(pieceBytes)) {
            const qint64 half = NextLineStart(read, at + (size - at) / 2, size);
            if (half < size) {
                second = std::make_unique<SecondHalf>(head, read, half, size, pieceBytes);
                readUpTo(half, false);
            }
        }
        if (!second)
            readUpTo(size, false);
        head.finish();
        RecordRows rows = std::move(head.rows());
        if (second) {
            second->wait(report);
            report();
            RecordRows &more = second->parsed(head.lines()).rows();
            const size_t first = rows.minutes.size();
            // The copies fill fresh memory, which costs more than copying: one on each thread.
            bool depthsFailed = false;
            std::thread depths([&rows, &more, &depthsFailed] {
                try {
                    rows.depths.insert(rows.depths.end(), more.depths.begin(), more.depths.end());
                } catch (const std::bad_alloc &) {
                    depthsFailed = true;
                }
            });
            try {
                rows.minutes.insert(rows.minutes.end(), more.minutes.begin(), more.minutes.end());
            } catch (...) {
                depths.join();
                throw;
            }
            depths.join();
            if (depthsFailed)
                throw std::bad_alloc();
            for (const RecordRows::LineRun &run : more.lineRuns)
                rows.noteLine(first + run.row, head.lines() + run.line);
        }
        return rows;
    } catch (const CellFault &fault) {
        throw PluvionError(RecordPlace(file, fault.line, fault.column) + fault.what);
    }
}

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

QString RecordUnitName(RecordUnit unit)
{
    return unit == RecordUnit::Millimetre ? QStringLiteral("mm") : QStringLiteral("0.1mm");
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

qint64 RecordRows::line(size_t row) const
{
    const auto after = std::upper_bound(lineRuns.begin(), lineRuns.end(), row,
                                        [](size_t r, const LineRun &run) { return r < run.row; });
    return after == lineRuns.begin() ? 0 : after[-1].line + qint64(row - after[-1].row);
}

QString RecordPlace(const QString &file, qint64 line, int column)
{
    return QStringLiteral("文件 %1 第 %2 行第 %3 列：").arg(file).arg(line).arg(column);
}

RecordRows ParseRecordBytes(QByteArrayView bytes, const QString &file, const RecordFormat &format)
{
    const PieceReader read = [bytes](qint64 offset, qsizetype size, QByteArray &) {
        return bytes.sliced(qsizetype(offset), std::min(size, bytes.size() - qsizetype(offset)));
    };
    return ReadRecord(bytes.size(), read, file, format, std::max<qsizetype>(bytes.size(), 1), {});
}

RecordRows ReadRecordFile(const QString &path, const RecordFormat &format,
                          const std::function<void(qint64 bytesRead)> &progress, qsizetype chunkBytes)
{
    const FilePieces file(path, RecordFileLimit);
    const PieceReader read = [&file](qint64 offset, qsizetype size, QByteArray &buffer) {
        if (buffer.size() < size)
            buffer.resize(size);
        return QByteArrayView(buffer.constData(), file.read(offset, buffer.data(), size));
    };
    return ReadRecord(file.size(), read, path, format, chunkBytes, progress);
}

void ReserveRecordValues(std::vector<std::int32_t> &values, size_t count)
{
    if (count <= values.capacity())
        return;
    try {
        values.reserve(count);
    } catch (const std::bad_alloc &) {
        return; // the values make their room as they come
    }
#ifdef MADV_HUGEPAGE
    // Only whole large pages inside the allocation can be asked for.
    constexpr std::uintptr_t Large = 2 * 1024 * 1024;
    const auto first =
        (reinterpret_cast<std::uintptr_t>(values.data() + values.size()) + Large - 1) & ~(Large - 1);
    const auto last = reinterpret_cast<std::uintptr_t>(values.data() + values.capacity()) & ~(Large - 1);
    if (last > first)
        ::madvise(reinterpret_cast<void *>(first), last - first, MADV_HUGEPAGE);
#endif
}

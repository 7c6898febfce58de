#pragma once

#include <QString>
#include <stdexcept>

// A failure the core reports to its caller. The description is the program's
// own text, shown to the user unchanged (the window adds "出错：" or a full stop
// where its message boxes ask for them).
class PluvionError : public std::runtime_error
{
public:
    explicit PluvionError(const QString &description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {}
    const QString &description() const noexcept { return m_description; }

private:
    QString m_description;
};

// An offending value as a message quotes it: whole up to 60 characters,
// otherwise its first 60 and "…", so a huge value never makes a huge message.
inline QString ValueExcerpt(const QString &value)
{
    constexpr qsizetype Shown = 60;
    if (value.size() <= Shown)
        return value;
    // Never split a character beyond the basic plane.
    const qsizetype cut = value.at(Shown - 1).isHighSurrogate() ? Shown - 1 : Shown;
    return value.left(cut) + u'…';
}

// The failure told when the memory a command needs cannot be had.
inline QString OutOfMemoryMessage()
{
    return QStringLiteral("内存不足，无法完成该操作");
}

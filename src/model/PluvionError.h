#pragma once

#include <QString>
#include <cstdint>
#include <stdexcept>

// What kind of failure a PluvionError reports, for front ends that answer
// kinds differently (the command-line tool's exit status).
enum class PluvionErrorKind : uint8_t
{
    Failure,      // the operation failed: a computation, a write, a damaged template
    UnusableFile, // a path that names no regular file where one is needed, or one too large to read
    OutOfMemory,  // the memory the operation needs cannot be had; the description says for what
    Cancelled,    // the user stopped a long operation before it finished
};

// A failure the core reports to its caller. The description is the program's
// own text, shown to the user unchanged (the window adds "出错：" or a full stop
// where its message boxes ask for them).
class PluvionError : public std::runtime_error
{
public:
    explicit PluvionError(const QString &description, PluvionErrorKind kind = PluvionErrorKind::Failure)
        : std::runtime_error(description.toStdString()), m_description(description), m_kind(kind)
    {}
    const QString &description() const noexcept { return m_description; }
    PluvionErrorKind kind() const noexcept { return m_kind; }

private:
    QString m_description;
    PluvionErrorKind m_kind;
};

// An offending value as a message quotes it: whole up to 60 characters,
// otherwise its first 60 and "…", so a huge value never makes a huge message.
inline QString ValueExcerpt(const QString &value)
{
    constexpr qsizetype Shown = 60;
    QString excerpt = value;
    if (value.size() > Shown) {
        // Never split a character beyond the basic plane.
        const qsizetype cut = value.at(Shown - 1).isHighSurrogate() ? Shown - 1 : Shown;
        excerpt = value.left(cut) + u'…';
    }
    // Control characters (a NUL, a line break) are shown by their pictures.
    for (QChar &c : excerpt) {
        if (c.unicode() < 0x20)
            c = QChar(char16_t(0x2400 + c.unicode()));
        else if (c.unicode() == 0x7F)
            c = QChar(char16_t(0x2421));
    }
    return excerpt;
}

// The failure told when the memory a command needs cannot be had.
inline QString OutOfMemoryMessage()
{
    return QStringLiteral("内存不足，无法完成该操作");
}

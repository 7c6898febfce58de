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

#include "CliOutput.h"

#include "io/FileBytes.h"

#include <QtGlobal>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

void CliOutput::write(QByteArrayView bytes)
{
    if (m_failed || bytes.isEmpty())
        return;
    errno = 0;
    if (!writeOut(bytes)) {
        m_failed = true;
        m_error = errno;
    }
}

void CliOutput::err(const QString &text)
{
    writeErr(text.toUtf8());
}

bool CliOutput::finish()
{
    if (m_reported)
        return false;
    if (!m_failed) {
        errno = 0;
        if (flushOut())
            return true;
        m_failed = true;
        m_error = errno;
    }
    QString message = QStringLiteral("出错：无法写入标准输出");
    if (m_error == EBADF)
        message += QStringLiteral("：标准输出已关闭");
    else if (m_error != 0)
        message += QStringLiteral("：") + SystemErrorReason(m_error);
    err(message + u'\n');
    m_reported = true;
    return false;
}

StandardStreams::StandardStreams()
{
    for (const int descriptor : {STDOUT_FILENO, STDERR_FILENO}) {
        if (fcntl(descriptor, F_GETFD) != -1)
            continue;
        if (descriptor == STDOUT_FILENO)
            m_outClosed = true;
        // The lowest free descriptor is the closed one.
        const int placeholder = open("/dev/null", O_WRONLY);
        if (placeholder != descriptor && placeholder >= 0)
            close(placeholder);
    }
}

bool StandardStreams::writeOut(QByteArrayView bytes)
{
    if (m_outClosed) {
        errno = EBADF;
        return false;
    }
    return std::fwrite(bytes.data(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size()) &&
           !std::ferror(stdout);
}

void StandardStreams::writeErr(QByteArrayView bytes)
{
    std::fwrite(bytes.data(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool StandardStreams::flushOut()
{
    // A closed standard output failed at its first write already.
    if (m_outClosed)
        return true;
    return std::fflush(stdout) == 0 && !std::ferror(stdout);
}

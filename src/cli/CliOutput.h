#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <cerrno>
#include <cstdio>

// Standard output and standard error of one run of pluvion-cli. Every command
// writes through here: once a write to standard output fails (a closed pipe,
// a full disk) the rest is not attempted and the reason is kept, to be told
// when the run ends, after the files are written.
class CliOutput
{
public:
    virtual ~CliOutput() = default;

    // Bytes and texts (as UTF-8) to standard output.
    void write(QByteArrayView bytes);
    void out(const QString &text) { write(text.toUtf8()); }
    void err(const QString &text);

    // Sends what is left for standard output; false, having said why on
    // standard error ("出错：无法写入标准输出：" and the reason), when any of it
    // could not be written. A run asks before it puts its files in place, so
    // that a failed standard output leaves them as they were; asked again,
    // it says nothing more.
    bool finish();

protected:
    // Writes all of `bytes`; false with errno set when it could not.
    virtual bool writeOut(QByteArrayView bytes) = 0;
    virtual void writeErr(QByteArrayView bytes) = 0;
    // Sends buffered output on; false with errno set when it could not.
    virtual bool flushOut() = 0;

private:
    bool m_failed = false;
    bool m_reported = false;
    int m_error = 0;
};

// The process's own streams. Made before any file is opened: a closed
// standard output or error gets /dev/null in its place, so that no file the
// program writes can take over its descriptor, and writing to a closed
// standard output fails with its own reason.
class StandardStreams final : public CliOutput
{
public:
    StandardStreams();

protected:
    bool writeOut(QByteArrayView bytes) override;
    void writeErr(QByteArrayView bytes) override;
    bool flushOut() override;

private:
    bool m_outClosed = false;
};

// Both streams kept in memory: for running the commands in a test.
class CapturedStreams final : public CliOutput
{
public:
    QByteArray outBytes;
    QByteArray errBytes;
    // A standard output that takes this many bytes and then fails as a
    // closed pipe does; negative for one that never fails.
    qsizetype outCapacity = -1;

protected:
    bool writeOut(QByteArrayView bytes) override
    {
        if (outCapacity >= 0 && outBytes.size() + bytes.size() > outCapacity) {
            errno = EPIPE;
            return false;
        }
        outBytes.append(bytes);
        return true;
    }
    void writeErr(QByteArrayView bytes) override { errBytes.append(bytes); }
    bool flushOut() override { return true; }
};

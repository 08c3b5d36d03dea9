#include "Console.h"

#include <QFile>
#include <QSaveFile>

#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace Console {
namespace {
void write(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
}

// Turns terminal echo off for as long as it lives.
class EchoOff
{
public:
    EchoOff()
    {
        m_active = tcgetattr(STDIN_FILENO, &m_saved) == 0;
        if (m_active) {
            termios quiet = m_saved;
            quiet.c_lflag &= ~tcflag_t(ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~EchoOff()
    {
        if (m_active)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &m_saved);
    }

private:
    termios m_saved{};
    bool m_active = false;
};
} // namespace

ExitStatus writeResultFile(const QString &path, const QByteArray &data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        err(QStringLiteral("quillwren: cannot write %1: %2").arg(path, file.errorString()));
        return Failure;
    }
    out(QStringLiteral("%1 (%2 bytes)").arg(path).arg(data.size()));
    return Success;
}

void out(const QString &text)
{
    write(stdout, text);
}

void outPiece(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

void err(const QString &text)
{
    write(stderr, text);
}

std::optional<QString> readSecret(const QString &prompt)
{
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return std::nullopt;

    QByteArray bytes;
    if (isatty(STDIN_FILENO)) {
        std::fputs(prompt.toUtf8().constData(), stderr);
        std::fflush(stderr);
        {
            EchoOff quiet;
            bytes = input.readLine();
        }
        std::fputs("\n", stderr);
    } else {
        bytes = input.readAll();
    }

    if (bytes.endsWith('\n'))
        bytes.chop(1);
    if (bytes.endsWith('\r'))
        bytes.chop(1);
    return QString::fromUtf8(bytes);
}

} // namespace Console

#include "Log.h"

#include <QMutex>

#include <cstdio>
#include <string>

namespace Log {
namespace {
QMutex sinkMutex;
Sink currentSink;
FILE *stream = stdout;
} // namespace

void line(const QString &text)
{
    QString folded = text;
    folded.replace(QLatin1String("\r\n"), QLatin1String(" "));
    folded.replace(QLatin1Char('\n'), QLatin1Char(' '));
    folded.replace(QLatin1Char('\r'), QLatin1Char(' '));

    QMutexLocker lock(&sinkMutex);
    if (currentSink) {
        currentSink(folded);
        return;
    }
    const QByteArray bytes = folded.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, bytes.size(), stream);
    std::fflush(stream);
}

QString maskApiKey(const QString &key)
{
    // Count characters, not UTF-16 units, so a key is never cut inside one.
    const std::u32string chars = key.toStdU32String();
    if (chars.size() < 9)
        return QStringLiteral("****");
    return QString::fromStdU32String(chars.substr(0, 4)) + QStringLiteral("****")
           + QString::fromStdU32String(chars.substr(chars.size() - 4));
}

void useStandardError()
{
    QMutexLocker lock(&sinkMutex);
    stream = stderr;
}

void setSink(Sink sink)
{
    QMutexLocker lock(&sinkMutex);
    currentSink = std::move(sink);
}

} // namespace Log

#include "TestSupport.h"

#include "Log.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace TestSupport {

namespace {
QList<const ExpectedWarnings *> &liveExpectations()
{
    static QList<const ExpectedWarnings *> live;
    return live;
}
} // namespace

ExpectedWarnings::ExpectedWarnings(const QStringList &patterns)
{
    for (const QString &pattern : patterns)
        m_patterns.append(QRegularExpression(pattern));
    liveExpectations().append(this);
}

ExpectedWarnings::~ExpectedWarnings()
{
    liveExpectations().removeOne(this);
}

bool ExpectedWarnings::consume(const QString &message)
{
    for (const ExpectedWarnings *expected : liveExpectations()) {
        for (const QRegularExpression &pattern : expected->m_patterns) {
            if (pattern.match(message).hasMatch())
                return true;
        }
    }
    return false;
}

LogCapture::LogCapture()
{
    Log::setSink([this](const QString &line) { m_lines << line; });
}

LogCapture::~LogCapture()
{
    Log::setSink({});
}

QStringList LogCapture::linesStartingWith(const QString &prefix) const
{
    QStringList result;
    for (const QString &line : m_lines) {
        if (line.startsWith(prefix))
            result << line;
    }
    return result;
}

ProcessResult runQuillwren(const QStringList &args, const QProcessEnvironment &env,
                           const QByteArray &input, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLWREN_BINARY), args);
    EXPECT_TRUE(process.waitForStarted(5000)) << "quillwren did not start";
    process.write(input);
    process.closeWriteChannel();
    ProcessResult result;
    if (!process.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << "quillwren " << args.join(QLatin1Char(' ')).toStdString()
                      << " did not finish within " << timeoutMs << " ms";
        process.kill();
        process.waitForFinished();
    }
    result.crashed = process.exitStatus() != QProcess::NormalExit;
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

bool waitUntil(const std::function<bool()> &predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return true;
}

void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

int runTool(const QString &program, const QStringList &args, int timeoutMs)
{
    int status = -1;
    toolOutput(program, args, &status, timeoutMs);
    return status;
}

QString toolOutput(const QString &program, const QStringList &args, int *exitCode, int timeoutMs)
{
    QProcess tool;
    tool.start(program, args);
    if (!tool.waitForFinished(timeoutMs)) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        tool.kill();
        tool.waitForFinished();
        if (exitCode)
            *exitCode = -1;
        return {};
    }
    if (exitCode)
        *exitCode = tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1;
    return QString::fromUtf8(tool.readAllStandardOutput());
}

QProcessEnvironment isolatedEnvironment(const QTemporaryDir &configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    return env;
}

} // namespace TestSupport

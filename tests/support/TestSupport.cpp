#include "TestSupport.h"

#include "Log.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace TestSupport {

LogCapture::LogCapture()
{
    Log::setSink([this](const QString &line) { m_lines << line; });
}

LogCapture::~LogCapture()
{
    Log::setSink({});
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

QProcessEnvironment isolatedEnvironment(const QTemporaryDir &configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome.path());
    return env;
}

} // namespace TestSupport

#include "CommandFixture.h"

#include <QFile>
#include <QProcess>
#include <QtEndian>

#include <cmath>

using TestSupport::waitUntil;

void CommandFixture::SetUp()
{
    StandinFixture::SetUp();
    env = TestSupport::isolatedEnvironment(home);
    // The session's audio server authenticates its clients by the cookie in the session's config folder.
    env.insert(QStringLiteral("PULSE_COOKIE"), qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/pulse/cookie"));
    env.insert(QStringLiteral("QUILLWREN_WS_URL"), server.webSocketUrl().toString());
    env.insert(QStringLiteral("QUILLWREN_NATIVE_URL"), server.nativeBaseUrl());
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set")}, key().toUtf8()).exitCode, 0);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("compatibleBaseURL"),
                   server.compatibleBaseUrl()}).exitCode, 0);
}

TestSupport::ProcessResult CommandFixture::run(const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLWREN_BINARY), args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(waitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
    return {process.exitCode(), process.exitStatus() != QProcess::NormalExit,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

QString writeTone(const QString &path, int rate, int channels, double seconds, double hz)
{
    const int frames = int(rate * seconds);
    QByteArray data(frames * channels * 2, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const auto value = qint16(std::lround(0.5 * 32767 * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c)
            qToLittleEndian(value, data.data() + (i * channels + c) * 2);
    }
    auto le32 = [](quint32 v) { QByteArray b(4, 0); qToLittleEndian(v, b.data()); return b; };
    auto le16 = [](quint16 v) { QByteArray b(2, 0); qToLittleEndian(v, b.data()); return b; };
    const QByteArray wav = "RIFF" + le32(36 + data.size()) + "WAVEfmt " + le32(16) + le16(1) + le16(quint16(channels))
                           + le32(rate) + le32(rate * channels * 2) + le16(quint16(channels * 2)) + le16(16) + "data"
                           + le32(data.size()) + data;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(wav);
    return path;
}

#include "StandinClient.h"
#include "TestSupport.h"

#include <QFile>
#include <QtEndian>

#include <cmath>
#include <QImage>
#include <QProcess>

using TestSupport::waitUntil;

namespace {

// `quillwren ask|speak|reply` against a stand-in served by this process, with
// the key in the session's keyring.
class ModelCommands : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        env = TestSupport::isolatedEnvironment(home);
        // The session's audio server authenticates its clients by the cookie in the session's config folder.
        env.insert(QStringLiteral("PULSE_COOKIE"), qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/pulse/cookie"));
        env.insert(QStringLiteral("QUILLWREN_WS_URL"), server.webSocketUrl().toString());
        ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set")}, key().toUtf8()).exitCode, 0);
        ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("compatibleBaseURL"),
                       server.compatibleBaseUrl()}).exitCode, 0);
    }

    // Runs the command while this process keeps serving the stand-in.
    TestSupport::ProcessResult run(const QStringList &args, const QByteArray &input = {})
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

    QTemporaryDir home;
    QProcessEnvironment env;
};

TEST_F(ModelCommands, AskStreamsTheAnswerAloneToStandardOutput)
{
    useScenario(R"({"chat":{"answers":{"你好吗？":"我很好，谢谢！"}}})");
    const auto result = run({QStringLiteral("ask"), QStringLiteral("你好吗？")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("我很好，谢谢！\n"));
    EXPECT_TRUE(result.err.contains(QStringLiteral("🤖 [LLM-Stream] 发起流式请求:"))) << "log lines go to standard error";
    const QJsonObject body = server.recorder().recordsOfKind(QStringLiteral("http-request")).last()[QStringLiteral("json")].toObject();
    EXPECT_TRUE(body[QStringLiteral("messages")][0][QStringLiteral("content")].toString().startsWith(QStringLiteral("你是一个友好的语音聊天助手")));
}

TEST_F(ModelCommands, SpeakWritesTheClipAndReplyScalesTheImageAsACaptureWould)
{
    QTemporaryDir dir;
    const QString mp3 = dir.filePath(QStringLiteral("out.mp3"));
    auto spoken = run({QStringLiteral("speak"), QStringLiteral("你好，世界。"), QStringLiteral("-o"), mp3});
    EXPECT_EQ(spoken.exitCode, 0) << spoken.err.toStdString();
    QFile file(mp3);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_GT(file.size(), 1000);

    QImage tall(1000, 3000, QImage::Format_RGB32);
    tall.fill(Qt::white);
    const QString png = dir.filePath(QStringLiteral("chat.png"));
    ASSERT_TRUE(tall.save(png));
    useScenario(R"({"vision":{"reply":"好呀，周六见！"}})");
    const auto replied = run({QStringLiteral("reply"), QStringLiteral("--image"), png});
    EXPECT_EQ(replied.exitCode, 0) << replied.err.toStdString();
    EXPECT_EQ(replied.out, QStringLiteral("好呀，周六见！\n"));
    const QJsonObject image = server.recorder().recordsOfKind(QStringLiteral("image")).last();
    EXPECT_EQ(image[QStringLiteral("width")].toInt(), 640);
    EXPECT_EQ(image[QStringLiteral("height")].toInt(), 1920);
    EXPECT_TRUE(image[QStringLiteral("jpeg")].toBool());
}

TEST_F(ModelCommands, FailuresGiveAMessageAndANonZeroStatus)
{
    useScenario(R"({"chat":{"fault":{"type":"http-error","status":429,"body":"slow down"}}})");
    auto limited = run({QStringLiteral("ask"), QStringLiteral("hi")});
    EXPECT_EQ(limited.exitCode, 1);
    EXPECT_TRUE(limited.err.contains(QStringLiteral("LLM 流式请求失败 (429): slow down")));

    auto badImage = run({QStringLiteral("reply"), QStringLiteral("--image"), QStringLiteral("/nonexistent.png")});
    EXPECT_EQ(badImage.exitCode, 2);
    EXPECT_TRUE(badImage.err.contains(QStringLiteral("cannot read")));
    EXPECT_EQ(run({QStringLiteral("speak"), QStringLiteral("text")}).exitCode, 2);
    EXPECT_EQ(run({QStringLiteral("ask")}).exitCode, 2);

    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("compatibleBaseURL"),
                   QStringLiteral("http://127.0.0.1:1/compatible-mode/v1")}).exitCode, 0);
    auto unreachable = run({QStringLiteral("ask"), QStringLiteral("hi")});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_FALSE(unreachable.err.isEmpty());

    QProcessEnvironment noBus = env;
    noBus.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
    env = noBus;
    auto noKey = run({QStringLiteral("speak"), QStringLiteral("你好"), QStringLiteral("-o"), home.filePath(QStringLiteral("x.mp3"))});
    EXPECT_EQ(noKey.exitCode, 1);
    EXPECT_TRUE(noKey.err.contains(QStringLiteral("请先配置 API Key")));
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("x.mp3"))));
}

// A WAV file of a 440 Hz tone, 16-bit, interleaved.
QString writeTone(const QString &path, int rate, int channels, double seconds)
{
    const int frames = int(rate * seconds);
    QByteArray data(frames * channels * 2, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const auto value = qint16(std::lround(0.5 * 32767 * std::sin(2 * M_PI * 440 * i / rate)));
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

TEST_F(ModelCommands, TranscribeSendsAWavFileAsMicrophoneAudioAndPrintsTheTranscript)
{
    useScenario(R"({"recognition":{"sentences":["第一句。","第二句。"],"audioMsPerResult":100}})");
    QTemporaryDir dir;
    const QString wav = writeTone(dir.filePath(QStringLiteral("tone.wav")), 44100, 2, 1.0);
    const auto result = run({QStringLiteral("transcribe"), QStringLiteral("--input"), wav, QStringLiteral("--fast")});
    EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
    EXPECT_EQ(result.out, QStringLiteral("第一句。第二句。\n"));
    const auto audio = server.recorder().recordsOfKind(QStringLiteral("audio"));
    ASSERT_EQ(audio.size(), 1);
    EXPECT_NEAR(audio[0][QStringLiteral("dominant_hz")].toDouble(), 440, 1);
    EXPECT_NEAR(audio[0][QStringLiteral("duration_ms")].toDouble(), 1000, 5) << "the whole file, resampled to 16 kHz";
    EXPECT_LT(audio[0][QStringLiteral("max_step")].toDouble(), 0.1) << "no clicks";

    const QString notWav = dir.filePath(QStringLiteral("notes.txt"));
    QFile text(notWav);
    text.open(QIODevice::WriteOnly);
    text.write("not audio");
    text.close();
    for (const QStringList &args : {QStringList{QStringLiteral("transcribe"), QStringLiteral("--input"), notWav},
                                    QStringList{QStringLiteral("transcribe"), QStringLiteral("--input"), dir.filePath(QStringLiteral("missing.wav"))},
                                    QStringList{QStringLiteral("transcribe")}}) {
        const auto bad = run(args);
        EXPECT_EQ(bad.exitCode, 2) << args.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(bad.err.isEmpty());
    }
}

TEST_F(ModelCommands, MicrophoneAudioReachesTheServiceAsSixteenKilohertzPcm)
{
    QTemporaryDir dir;
    const QString wav = writeTone(dir.filePath(QStringLiteral("speech.wav")), 16000, 1, 1.5);
    QProcess transcribe;
    transcribe.setProcessEnvironment(env);
    transcribe.start(QStringLiteral(QUILLWREN_BINARY),
                     {QStringLiteral("transcribe"), QStringLiteral("--mic"), QStringLiteral("--seconds"), QStringLiteral("3")});
    // Spoken into the virtual microphone once recording has started.
    ASSERT_TRUE(waitUntil([&] { return !server.recorder().recordsOfKind(QStringLiteral("ws-binary")).isEmpty(); }, 5000));
    QProcess speaker;
    speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), wav});
    ASSERT_TRUE(waitUntil([&] { return transcribe.state() == QProcess::NotRunning; }, 15000));
    speaker.waitForFinished(5000);
    EXPECT_EQ(transcribe.exitCode(), 0) << transcribe.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(transcribe.readAllStandardOutput()), QStringLiteral("你好，这是本地替身服务的识别结果。\n"));
    const auto audio = server.recorder().recordsOfKind(QStringLiteral("audio"));
    ASSERT_EQ(audio.size(), 1);
    EXPECT_NEAR(audio[0][QStringLiteral("dominant_hz")].toDouble(), 440, 2);
    // How much of the 3 s arrives depends on the audio server's start-up latency.
    EXPECT_GT(audio[0][QStringLiteral("duration_ms")].toDouble(), 500);
    EXPECT_GT(audio[0][QStringLiteral("peak")].toDouble(), 0.3) << "the tone, not silence";
}

TEST_F(ModelCommands, WithoutAnAudioServerTheSetUpGivesUpAfterFiveAttempts)
{
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    const auto result = run({QStringLiteral("transcribe"), QStringLiteral("--mic"), QStringLiteral("--seconds"), QStringLiteral("1")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("quillwren: 无有效音频输入设备（通道=0, 采样率=0.0）"))) << result.err.toStdString();
    EXPECT_EQ(result.err.count(QStringLiteral("音频引擎启动失败（第")), 4);
    EXPECT_TRUE(result.err.contains(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第4次），150ms 后重试...")));
}

} // namespace

#include "CommandFixture.h"

#include <QFile>
#include <QImage>
#include <QJsonObject>

namespace {

// `quillwren ask|speak|reply|transcribe --input`.
using ModelCommands = CommandFixture;

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

} // namespace

#include "CommandFixture.h"
#include "PulseControl.h"

#include <QJsonObject>
#include <QProcess>

using PulseControl::TestMicrophone;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

// `quillwren transcribe --mic` on the session's audio server, whose default
// microphone "vmic" hears what is played into "vmic_sink" (and otherwise silence).
class Microphone : public CommandFixture
{
protected:
    void TearDown() override { PulseControl::pactl({QStringLiteral("set-default-source"), QStringLiteral("vmic")}); }

    // Starts recording for the given time; true once audio reaches the stand-in.
    bool startRecording(int seconds)
    {
        transcribe.setProcessEnvironment(env);
        transcribe.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("transcribe"), QStringLiteral("--mic"),
                                                            QStringLiteral("--seconds"), QString::number(seconds)});
        const qsizetype framesBefore = server.recorder().recordsOfKind(QStringLiteral("ws-binary")).size();
        return waitUntil([&] { return server.recorder().recordsOfKind(QStringLiteral("ws-binary")).size() > framesBefore; }, 8000);
    }

    // Standard error of the recording so far.
    const QString &log()
    {
        recorded += QString::fromUtf8(transcribe.readAllStandardError());
        return recorded;
    }

    bool logged(const QString &text) { return log().contains(text); }

    // Plays a tone into a microphone's sink and waits for the recording to end.
    void playAndFinish(const QString &sink, double hz)
    {
        const QString wav = writeTone(dir.filePath(QStringLiteral("tone%1.wav").arg(hz)), 16000, 1, 1.5, hz);
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=") + sink, wav});
        EXPECT_TRUE(waitUntil([&] { return transcribe.state() == QProcess::NotRunning; }, 20000));
        speaker.kill(); // paplay lingers for seconds draining the null sink; the tone has been heard
        speaker.waitForFinished(5000);
        log();
        EXPECT_EQ(transcribe.exitCode(), 0) << recorded.toStdString();
    }

    QJsonObject lastAudio() const { return server.recorder().recordsOfKind(QStringLiteral("audio")).last(); }

    QTemporaryDir dir;
    QProcess transcribe;
    QString recorded;
};

TEST_F(Microphone, FromAScriptTheEndOfInputDoesNotStopTheRecordingButSigtermDoes)
{
    transcribe.setProcessEnvironment(env);
    transcribe.start(QStringLiteral(QUILLWREN_BINARY), {QStringLiteral("transcribe"), QStringLiteral("--mic")});
    transcribe.closeWriteChannel(); // standard input ends at once, as from < /dev/null
    ASSERT_TRUE(waitUntil([&] { return !server.recorder().recordsOfKind(QStringLiteral("ws-binary")).isEmpty(); }, 8000));
    const QString wav = writeTone(dir.filePath(QStringLiteral("speech.wav")), 16000, 1, 1.0);
    QProcess speaker;
    speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), wav});
    TestSupport::settle(1500);
    speaker.kill();
    speaker.waitForFinished(5000);
    ASSERT_EQ(transcribe.state(), QProcess::Running) << log().toStdString();
    EXPECT_TRUE(logged(QStringLiteral("Recording… Ctrl+C or SIGTERM stops.")));

    transcribe.terminate();
    ASSERT_TRUE(waitUntil([&] { return transcribe.state() == QProcess::NotRunning; }, 10000));
    EXPECT_EQ(transcribe.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(transcribe.exitCode(), 0) << log().toStdString();
    EXPECT_EQ(QString::fromUtf8(transcribe.readAllStandardOutput()), QStringLiteral("你好，这是本地替身服务的识别结果。\n"));
    EXPECT_FALSE(server.recorder().recordsOfKind(QStringLiteral("audio")).isEmpty());
}

TEST_F(Microphone, SilenceGivesAnEmptyTranscriptWhichIsAFailure)
{
    useScenario(R"({"recognition":{"sentences":[]}})");
    const auto result = run({QStringLiteral("transcribe"), QStringLiteral("--mic"), QStringLiteral("--seconds"),
                             QStringLiteral("2")});
    EXPECT_EQ(result.exitCode, 1) << result.err.toStdString();
    EXPECT_TRUE(result.out.isEmpty());
    EXPECT_TRUE(result.err.contains(QStringLiteral("quillwren: nothing was recognised (the transcript is empty)")));
    EXPECT_TRUE(result.err.contains(QStringLiteral("Recording for 2 s…")));
}

TEST_F(Microphone, MicrophoneAudioReachesTheServiceAsSixteenKilohertzPcm)
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
    speaker.kill(); // paplay lingers for seconds draining the null sink; the tone has been heard
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

TEST_F(Microphone, WithoutAnAudioServerTheSetUpGivesUpAfterFiveAttempts)
{
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    const auto result = run({QStringLiteral("transcribe"), QStringLiteral("--mic"), QStringLiteral("--seconds"), QStringLiteral("1")});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_TRUE(result.err.contains(QStringLiteral("quillwren: 无有效音频输入设备（通道=0, 采样率=0.0）"))) << result.err.toStdString();
    EXPECT_EQ(result.err.count(QStringLiteral("音频引擎启动失败（第")), 4);
    EXPECT_TRUE(result.err.contains(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第4次），150ms 后重试...")));
}

TEST_F(Microphone, PluggingInAMicrophoneAndChoosingItMovesTheRecordingToIt)
{
    ASSERT_TRUE(startRecording(5));
    TestMicrophone headset(QStringLiteral("headset"));
    ASSERT_TRUE(headset.isLoaded());
    ASSERT_TRUE(PulseControl::pactl({QStringLiteral("set-default-source"), QStringLiteral("headset")}));
    ASSERT_TRUE(waitUntil([&] { return logged(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音")); }))
        << log().toStdString();
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更，重新启动音频引擎...")));
    EXPECT_TRUE(logged(QStringLiteral("🎤 [RealtimeASR] 当前输入设备有效: headset (16000.0Hz, 1ch)")));
    EXPECT_EQ(log().count(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启")), 1) << "one restart for one change";

    // Only the new microphone hears the tone; the old one hears silence.
    playAndFinish(QStringLiteral("headset_sink"), 880);
    EXPECT_NEAR(lastAudio()[QStringLiteral("dominant_hz")].toDouble(), 880, 2);
    EXPECT_GT(lastAudio()[QStringLiteral("peak")].toDouble(), 0.3) << "the tone, not silence";
}

TEST_F(Microphone, TheChosenMicrophoneIsRecordedWhateverTheDefaultAndIsListedAsSuch)
{
    TestMicrophone left(QStringLiteral("leftmic")), right(QStringLiteral("rightmic"));
    ASSERT_TRUE(left.isLoaded() && right.isLoaded());
    const auto refused = run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("inputDevice"),
                              QStringLiteral("speaker.monitor")});
    EXPECT_EQ(refused.exitCode, 2) << "the monitor of an output is no microphone";
    EXPECT_TRUE(refused.err.contains(QStringLiteral("nothing was stored"))) << refused.err.toStdString();
    EXPECT_TRUE(refused.err.contains(QStringLiteral("rightmic"))) << "the names it takes";
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("inputDevice"),
                   QStringLiteral("rightmic")}).exitCode, 0);

    const auto devices = run({QStringLiteral("devices")});
    EXPECT_EQ(devices.exitCode, 0) << devices.err.toStdString();
    const QStringList lines = devices.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains(QStringLiteral("* rightmic\trightmic"))) << devices.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("  leftmic\tleftmic"))) << devices.out.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("  vmic\tVirtualMic (default)"))) << devices.out.toStdString();
    EXPECT_FALSE(devices.out.contains(QStringLiteral(".monitor"))) << "outputs' monitors are no microphones";

    // A tone into the chosen one is heard; one into the other is not.
    ASSERT_TRUE(startRecording(3));
    EXPECT_TRUE(logged(QStringLiteral("🎤 [RealtimeASR] 当前输入设备有效: rightmic"))) << log().toStdString();
    playAndFinish(QStringLiteral("rightmic_sink"), 880);
    EXPECT_NEAR(lastAudio()[QStringLiteral("dominant_hz")].toDouble(), 880, 2);
    EXPECT_GT(lastAudio()[QStringLiteral("peak")].toDouble(), 0.3);
    ASSERT_TRUE(startRecording(3));
    playAndFinish(QStringLiteral("leftmic_sink"), 440);
    EXPECT_LT(lastAudio()[QStringLiteral("peak")].toDouble(), 0.02) << "the other microphone was recorded";

    // Gone: listed as such, and the default serves.
    right.remove();
    settle(300);
    EXPECT_TRUE(run({QStringLiteral("devices")}).out.contains(QStringLiteral("rightmic\t(chosen, not connected")));
    recorded.clear();
    ASSERT_TRUE(startRecording(3));
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 所选麦克风不可用，改用系统默认：rightmic"))) << log().toStdString();
    playAndFinish(QStringLiteral("vmic_sink"), 660);
    EXPECT_NEAR(lastAudio()[QStringLiteral("dominant_hz")].toDouble(), 660, 2);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("inputDevice"), QString()}).exitCode, 0);
}

TEST_F(Microphone, UnpluggingTheMicrophoneInUseMovesTheRecordingToTheNextOne)
{
    TestMicrophone headset(QStringLiteral("headset"));
    ASSERT_TRUE(headset.isLoaded());
    ASSERT_TRUE(PulseControl::pactl({QStringLiteral("set-default-source"), QStringLiteral("headset")}));
    ASSERT_TRUE(startRecording(5));
    EXPECT_TRUE(logged(QStringLiteral("🎤 [RealtimeASR] 当前输入设备有效: headset")));

    headset.remove();
    ASSERT_TRUE(waitUntil([&] { return logged(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音")); }))
        << log().toStdString();
    EXPECT_TRUE(logged(QStringLiteral("🎤 [RealtimeASR] 当前输入设备有效: VirtualMic")));

    playAndFinish(QStringLiteral("vmic_sink"), 440);
    EXPECT_NEAR(lastAudio()[QStringLiteral("dominant_hz")].toDouble(), 440, 2);
    EXPECT_GT(lastAudio()[QStringLiteral("peak")].toDouble(), 0.3);
}

TEST_F(Microphone, WhenTheDefaultIsNoMicrophoneTheBuiltInOneIsUsed)
{
    // Listed after the virtual microphone, so only its built-in mark makes it the choice.
    TestMicrophone laptop(QStringLiteral("laptop"), TestMicrophone::Kind::BuiltIn);
    ASSERT_TRUE(laptop.isLoaded());
    ASSERT_TRUE(PulseControl::pactl({QStringLiteral("set-default-source"), QStringLiteral("speaker.monitor")}));
    ASSERT_TRUE(startRecording(3));
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 默认输入设备无效（通道=0, 采样率=0.0），查找替代设备...")));
    EXPECT_TRUE(logged(QStringLiteral("🎤 [RealtimeASR] 找到内置麦克风: laptop (ID:laptop)")));
    EXPECT_TRUE(logged(QStringLiteral("✅ [RealtimeASR] 已切换到: laptop (ID:laptop, 16000.0Hz, 1ch)")));

    playAndFinish(QStringLiteral("laptop_sink"), 660);
    EXPECT_NEAR(lastAudio()[QStringLiteral("dominant_hz")].toDouble(), 660, 2);
}

} // namespace

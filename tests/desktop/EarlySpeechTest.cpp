// The microphone opens when a voice key goes down: speech begun at once
// reaches the recogniser whole, so does speech that ends just before the key
// is let go, and a press that turns out not to be one sends nothing and
// closes the microphone straight away.
#include "RunningApplication.h"
#include "SpeakerRecording.h"

#include <QElapsedTimer>

#include <cmath>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

// writeTone's sine is at half scale: its RMS is 0.5 / sqrt(2).
constexpr double kToneRms = 0.35355;

class EarlySpeech : public RunningApplication
{
protected:
    void SetUp() override
    {
        RunningApplication::SetUp();
        tone = writeTone(dir.filePath(QStringLiteral("speech.wav")), 16000, 1, 1.0);
    }

    // Starts the tone into the virtual microphone; stopped with the process.
    void speak(QProcess &speaker) { speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), tone}); }

    // Whether this application has a record stream open on the audio server
    // (the server's own remap of the virtual microphone has one too).
    bool microphoneOpen()
    {
        const QString outputs = TestSupport::toolOutput(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("source-outputs")});
        return outputs.contains(QStringLiteral("application.process.id = \"%1\"").arg(app.processId()));
    }

    // Holds the key until the microphone is open, then does what ends the
    // press (xdotool's arguments); how long after that the microphone closed, in ms.
    qint64 closedAfter(const QString &key, const QStringList &ending)
    {
        EXPECT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        EXPECT_TRUE(waitUntil([this] { return microphoneOpen(); }, 3000)) << "the press opened the microphone";
        QElapsedTimer ended;
        ended.start();
        EXPECT_EQ(runTool(QStringLiteral("xdotool"), ending), 0);
        EXPECT_TRUE(waitUntil([this] { return !microphoneOpen(); }, 3000));
        const qint64 elapsed = ended.elapsed();
        EXPECT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
        return elapsed;
    }

    // The tone's share of the last finished task's audio, in milliseconds
    // of tone, once that task is there.
    double toneHeard(qsizetype tasksBefore, int press)
    {
        EXPECT_TRUE(waitUntil([&] { return server.recorder().recordsOfKind(QStringLiteral("audio")).size() > tasksBefore; },
                              10000));
        const QJsonObject audio = server.recorder().recordsOfKind(QStringLiteral("audio")).value(tasksBefore);
        const double rms = audio[QStringLiteral("rms")].toDouble();
        const double toneMs = audio[QStringLiteral("duration_ms")].toDouble() * (rms / kToneRms) * (rms / kToneRms);
        std::cerr << "press " << press << ": " << audio[QStringLiteral("duration_ms")].toDouble() << " ms sent, "
                  << toneMs << " ms of it the tone, largest step " << audio[QStringLiteral("max_step")].toDouble()
                  << std::endl;
        EXPECT_NEAR(audio[QStringLiteral("dominant_hz")].toDouble(), 440, 5);
        // One continuous stream: a gap or a repeat inside the sine would jump.
        EXPECT_LT(audio[QStringLiteral("max_step")].toDouble(), 0.15);
        return toneMs;
    }

    QString tone;
};

TEST_F(EarlySpeech, SpeechBegunFiftyMillisecondsAfterThePressIsHeardWholeEveryTime)
{
    // Twice: the second press opens the microphone anew, as every press does.
    for (int press = 0; press < 2; ++press) {
        const qsizetype tasksBefore = server.recorder().recordsOfKind(QStringLiteral("audio")).size();
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
        settle(50);
        QProcess speaker;
        speak(speaker);
        settle(1950);
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
        speaker.kill();
        speaker.waitForFinished(3000);
        const double toneMs = toneHeard(tasksBefore, press);
        EXPECT_GE(toneMs, 950) << "the onset is not lost";
        EXPECT_LE(toneMs, 1050) << "nothing is sent twice";
        ASSERT_TRUE(waitUntil([this] { return !status()[QStringLiteral("isProcessing")].toBool(); }, 10000));
    }
}

TEST_F(EarlySpeech, SpeechEndingAroundTheReleaseIsHeardWholeEveryTime)
{
    // When the tone ends, in ms after the release: 20 ms before it, and 30 ms
    // after it, as a last syllable still sounding while the key comes up.
    const int endings[] = {-20, 30, -20, 30};
    for (int press = 0; press < 4; ++press) {
        const qsizetype tasksBefore = server.recorder().recordsOfKind(QStringLiteral("audio")).size();
        const qsizetype framesBefore = audioFramesReceived();
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
        ASSERT_TRUE(waitUntil([&] { return audioFramesReceived() > framesBefore; }, 8000)) << "never recorded";
        // The release is timed from when the tone is heard at the microphone
        // (the player's own start takes its time on a busy machine), and the
        // player keeps half a second of it buffered, so that it never runs
        // dry in the middle (a gap, and the tone's end pushed later).
        SpeakerRecording microphone(QStringLiteral("vmic"));
        ASSERT_TRUE(waitUntil([&] { return microphone.hasStarted(); }, 5000));
        const qint64 before = QDateTime::currentMSecsSinceEpoch();
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), QStringLiteral("--latency-msec=500"), tone});
        ASSERT_TRUE(speaker.waitForStarted(3000));
        std::optional<qint64> onset;
        ASSERT_TRUE(waitUntil([&] { return (onset = microphone.firstSoundAfter(before)).has_value(); }, 5000))
            << "the tone never reached the microphone";
        settle(int(*onset + 1000 - endings[press] - QDateTime::currentMSecsSinceEpoch()));
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
        const double toneMs = toneHeard(tasksBefore, press);
        EXPECT_GE(toneMs, 970) << "the end of the speech is not cut (it ends " << endings[press] << " ms after the release)";
        EXPECT_LE(toneMs, 1050) << "nothing is sent twice";
        EXPECT_TRUE(loggedSoon(QStringLiteral("⏳ [RealtimeASR] 松键后继续录音 100 ms")));
        speaker.kill();
        speaker.waitForFinished(3000);
        ASSERT_TRUE(waitUntil([this] { return !status()[QStringLiteral("isProcessing")].toBool(); }, 10000));
    }
}

TEST_F(EarlySpeech, AShortPressOrACombinationSendsNothingAndClosesTheMicrophoneAtOnce)
{
    QProcess speaker;
    speak(speaker);
    const qint64 afterTap = closedAfter(QStringLiteral("alt"), {QStringLiteral("keyup"), QStringLiteral("alt")});

    // Ctrl+C typed as one copies: Ctrl (the chat key) is let go well inside
    // the long-press time.
    const qint64 afterCombination = closedAfter(QStringLiteral("ctrl"), {QStringLiteral("key"), QStringLiteral("c"),
                                                                         QStringLiteral("keyup"), QStringLiteral("ctrl")});
    std::cerr << "microphone closed " << afterTap << " ms after a tap, " << afterCombination
              << " ms after Ctrl+C" << std::endl;
    // Within one capture buffer (200 ms) and the audio server's answer.
    EXPECT_LT(afterTap, 300);
    EXPECT_LT(afterCombination, 300);
    settle(500);
    EXPECT_EQ(audioFramesReceived(), 0) << "nothing heard before the press was recognised was sent";
    EXPECT_TRUE(server.recorder().recordsOfKind(QStringLiteral("audio")).isEmpty());
    speaker.kill();
    speaker.waitForFinished(3000);
}

} // namespace

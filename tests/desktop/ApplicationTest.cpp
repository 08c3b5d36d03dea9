#include "FakeMediaPlayer.h"
#include "PasteTarget.h"
#include "PulseControl.h"
#include "RunningApplication.h"
#include "SpeakerRecording.h"
#include "TakeHistory.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>

#include <cmath>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

class Application : public RunningApplication
{
};


TEST_F(Application, HoldingAltDictatesIntoTheFocusedWindow)
{
    PasteTarget target(env);
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), QStringLiteral("你好，这是本地替身服务的识别结果。"));
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 5000));
    // No clean-up unless it is asked for: no chat request, no line of it.
    EXPECT_TRUE(server.recorder().recordsOfKind(QStringLiteral("http-request")).isEmpty());
    EXPECT_FALSE(logged(QStringLiteral("润色")));
    // Kept in the history, with how it ended.
    const QByteArray newest = run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1"), QStringLiteral("--json")})
                                  .out.trimmed().toUtf8();
    const std::optional<TakeRecord> record = TakeRecord::fromJson(newest);
    ASSERT_TRUE(record) << newest.toStdString();
    EXPECT_EQ(record->text, QStringLiteral("你好，这是本地替身服务的识别结果。"));
    EXPECT_EQ(record->ending, QLatin1String(TakeRecord::kPasted));
    EXPECT_GT(record->latencyMs, 0);
    QFile historyFile(TakeHistory::defaultPath());
    EXPECT_EQ(historyFile.permissions() & ~(QFileDevice::ReadUser | QFileDevice::WriteUser),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner)
        << "readable by the user alone";
    ASSERT_TRUE(historyFile.open(QIODevice::ReadOnly));
    EXPECT_FALSE(historyFile.readAll().contains(key().toUtf8())) << "the API key is never kept there";

    // With the history turned off, the next take leaves nothing there.
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("keepHistory"), QStringLiteral("false")})
                  .exitCode, 0);
    holdAndSpeak(QStringLiteral("alt"));
    EXPECT_TRUE(waitUntil([&] { return target.text().size() > record->text.size(); }, 10000)) << "the second take was not typed";
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 5000));
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1"), QStringLiteral("--json")})
                  .out.trimmed().toUtf8(),
              newest);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("keepHistory"), QStringLiteral("true")})
                  .exitCode, 0);
}

TEST_F(Application, ADoubleTappedAltDictatesWithTheKeyLetGoUntilItsNextPressAndEscCancelsIt)
{
    PasteTarget target(env);
    const qsizetype before = audioFramesReceived();
    // A tap, and a second press 0.15 s later, let go at once.
    const QStringList doubleTap{QStringLiteral("keydown"), QStringLiteral("alt"),  QStringLiteral("sleep"),
                                QStringLiteral("0.1"),     QStringLiteral("keyup"), QStringLiteral("alt"),
                                QStringLiteral("sleep"),   QStringLiteral("0.15"),  QStringLiteral("keydown"),
                                QStringLiteral("alt"),     QStringLiteral("sleep"), QStringLiteral("0.1"),
                                QStringLiteral("keyup"),   QStringLiteral("alt")};
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), doubleTap), 0);
    ASSERT_TRUE(loggedSoon(QStringLiteral("🔒 双击锁定，松开按键后继续录音：语音输入法")));
    // Speech with no key held, and a click into the window meanwhile.
    speakWhileRecording(before);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow"), QStringLiteral("mousemove"),
                                                  QStringLiteral("--window"), QStringLiteral("%1"), QStringLiteral("30"),
                                                  QStringLiteral("30"), QStringLiteral("click"), QStringLiteral("1")}),
              0);
    EXPECT_TRUE(waitUntil([&] { return target.clicked(); }, 3000)) << "the click reached its window";
    settle(1500);
    EXPECT_EQ(status()[QStringLiteral("currentMode")].toString(), QStringLiteral("voice_input")) << "still recording";
    const qsizetype sent = audioFramesReceived();
    settle(400);
    EXPECT_GT(audioFramesReceived(), sent) << "the audio still goes out";
    EXPECT_TRUE(target.text().isEmpty());

    // The next press of Alt ends it as a release would.
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("sleep"),
                                                  QStringLiteral("0.1"), QStringLiteral("keyup"), QStringLiteral("alt")}),
              0);
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
    EXPECT_EQ(target.text(), QStringLiteral("你好，这是本地替身服务的识别结果。"));
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 5000));
    EXPECT_EQ(log().count(QStringLiteral("✅ 长按检测成功")), 0) << "no long press was needed";

    // Esc cancels a locked take: nothing more is sent, nothing is typed.
    const QString typed = target.text();
    const qsizetype beforeEsc = audioFramesReceived();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), doubleTap), 0);
    ASSERT_TRUE(waitUntil([&] { return audioFramesReceived() > beforeEsc; }, 8000)) << "the take did not start";
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}), 0);
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("已取消")); }, 5000));
    const qsizetype afterEsc = audioFramesReceived();
    settle(600);
    EXPECT_EQ(audioFramesReceived(), afterEsc) << "audio sent after Esc";
    EXPECT_EQ(target.text(), typed);

    // With the switch off, the same double tap is two taps.
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("handsFreeVoiceInput"),
                   QStringLiteral("false")}).exitCode, 0);
    const qsizetype takes = log().count(QStringLiteral("开始实时识别"));
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), doubleTap), 0);
    settle(1000);
    EXPECT_EQ(log().count(QStringLiteral("开始实时识别")), takes) << log().toStdString();
    EXPECT_TRUE(idleWith(QStringLiteral("已取消")));
}

TEST_F(Application, DictationIntoXtermPastesWithShiftInsert)
{
    // Ctrl+V is a control character in a terminal: the text must still arrive.
    QProcess xterm;
    openTypingXterm(xterm);
    holdAndSpeak(QStringLiteral("alt"));
    EXPECT_TRUE(waitUntil([&] { return !typedIntoXterm().isEmpty(); }, 10000)) << "nothing reached the terminal";
    EXPECT_EQ(typedIntoXterm(), QStringLiteral("你好，这是本地替身服务的识别结果。"));
    EXPECT_TRUE(loggedSoon(QStringLiteral("使用 Shift+Insert")));
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 5000));
    xterm.kill();
    xterm.waitForFinished(3000);
}

TEST_F(Application, ACleanedUpDictationTypesTheEditKeepsTheWordsAsHeardAndLeavesTerminalsAlone)
{
    const QString heard = QStringLiteral("嗯，那个，明天下午三点，不对，四点开会。");
    const QString edit = QStringLiteral("明天下午四点开会。");
    useScenario(R"({"recognition":{"sentences":[")" + heard.toUtf8() + R"("]},"cleanup":{"behaviour":"think","edits":{")"
                + heard.toUtf8() + R"(":")" + edit.toUtf8() + R"("}}})");
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("full")}).exitCode, 0);
    {
        PasteTarget target(env);
        holdAndSpeak(QStringLiteral("alt"));
        ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "nothing was typed";
        EXPECT_EQ(target.text(), edit) << "the edit, without the model's reasoning";
        EXPECT_EQ(endingStatus(), QStringLiteral("文本已输入"));
    }
    const auto requests = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 1);
    const QJsonObject body = requests[0][QStringLiteral("json")].toObject();
    EXPECT_EQ(body[QStringLiteral("temperature")].toDouble(-1), 0.0);
    EXPECT_EQ(body[QStringLiteral("enable_thinking")], QJsonValue(false));
    EXPECT_TRUE(body[QStringLiteral("messages")][1][QStringLiteral("content")].toString().startsWith(
        QStringLiteral("<transcript>\n") + heard));
    EXPECT_TRUE(loggedSoon(QStringLiteral("✅ [润色] 润色完成")));
    // Both kept: what was typed, and what was heard.
    const auto record = TakeRecord::fromJson(
        run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1"), QStringLiteral("--json")}).out.trimmed().toUtf8());
    ASSERT_TRUE(record);
    EXPECT_EQ(record->text, edit);
    EXPECT_EQ(record->raw, heard);
    EXPECT_EQ(run({QStringLiteral("history"), QStringLiteral("--raw"), QStringLiteral("1")}).out.trimmed(), heard);
    EXPECT_TRUE(run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1")}).out.contains(
        QStringLiteral("(heard: %1)").arg(heard)));

    // A terminal gets the words exactly as said: no clean-up is asked for.
    QProcess xterm;
    openTypingXterm(xterm);
    holdAndSpeak(QStringLiteral("alt"));
    EXPECT_TRUE(waitUntil([&] { return !typedIntoXterm().isEmpty(); }, 10000)) << "nothing reached the terminal";
    EXPECT_EQ(typedIntoXterm(), heard);
    EXPECT_TRUE(loggedSoon(QStringLiteral("是终端，按原文输入")));
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("http-request")).size(), 1);
    xterm.kill();
    xterm.waitForFinished(3000);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("off")}).exitCode, 0);
}

TEST_F(Application, ATapDoesNothingAndASecondInstanceLeavesTheFirstAlone)
{
    PasteTarget target(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("sleep"),
                                                  QStringLiteral("0.1"), QStringLiteral("keyup"), QStringLiteral("alt")}),
              0);
    settle(1000);
    EXPECT_TRUE(target.text().isEmpty());
    EXPECT_TRUE(idleWith(QString()));
    EXPECT_TRUE(logged(QStringLiteral("⚡️ 短按取消，通知取消预热：语音输入法")));

    const auto second = run({QStringLiteral("run")});
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_TRUE(second.err.contains(QStringLiteral("Quillwren is already running in this session.")));
    EXPECT_EQ(app.state(), QProcess::Running);

    const auto quit = run({QStringLiteral("quit")});
    EXPECT_EQ(quit.exitCode, 0);
    ASSERT_TRUE(waitUntil([this] { return app.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0);
    const auto none = run({QStringLiteral("status")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("Quillwren is not running")));
}

TEST_F(Application, HoldingCtrlSpeaksTheAnswerInSentenceOrderWhileLaterSentencesComeFirst)
{
    // Each sentence has its own pitch; the first one's audio comes last.
    useScenario(R"({"chat":{"defaultAnswer":"第一句话在这里。第二句话在这里。第三句话在这里。","chunkChars":4},
                    "synthesis":{"toneHz":{"第一句":440,"第二句":660,"第三句":880},"delayMs":{"第一句":700}}})");
    SpeakerRecording speaker;
    holdAndSpeak(QStringLiteral("ctrl"));
    ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("回复已完成")); }, 15000));
    speaker.stop();
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("tts-audio")).size(), 3) << "one synthesis per sentence";
    EXPECT_FALSE(logged(QStringLiteral("播放失败")));
    EXPECT_TRUE(speaker.heardPitches({440, 660, 880})) << speaker.heardText();
}

// Short answers are heard: one short sentence, two short ones together, and
// four characters without an ender, each as one clip.
TEST_F(Application, AShortAnswerIsSpokenWhole)
{
    const struct
    {
        const char *answer;
        int characters; // of its one synthesis
    } answers[] = {{"今天晴。", 4}, {"好的。明天见！", 7}, {"没问题呀", 4}};
    for (const auto &a : answers) {
        const QString answer = QString::fromUtf8(a.answer);
        useScenario(QStringLiteral(R"({"chat":{"defaultAnswer":"%1","chunkChars":3},"synthesis":{"toneHz":{"%2":550}}})")
                        .arg(answer, answer.left(2))
                        .toUtf8());
        const qsizetype before = server.recorder().recordsOfKind(QStringLiteral("tts-audio")).size();
        SpeakerRecording speaker;
        ASSERT_TRUE(waitUntil([&] { return speaker.hasStarted(); }, 5000));
        holdAndSpeak(QStringLiteral("ctrl"));
        ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("回复已完成")); }, 15000)) << a.answer;
        settle(300);
        speaker.stop();
        const QList<QJsonObject> syntheses = server.recorder().recordsOfKind(QStringLiteral("tts-audio")).mid(before);
        ASSERT_EQ(syntheses.size(), 1) << a.answer;
        EXPECT_EQ(syntheses[0][QStringLiteral("characters")].toInt(), a.characters) << a.answer;
        EXPECT_TRUE(speaker.heardPitches({550})) << a.answer << ": " << speaker.heardText();
    }
}

TEST_F(Application, PlayingMediaIsPausedForATakeAndItsSpokenAnswerAndOnlyThatIsPlayedAgain)
{
    FakeMediaPlayer music(QStringLiteral("music"), QStringLiteral("Playing")),
        video(QStringLiteral("video"), QStringLiteral("Paused")), podcast(QStringLiteral("podcast"), QStringLiteral("Playing"));
    ASSERT_TRUE(music.isServing() && video.isServing() && podcast.isServing());
    const QStringList pause{QStringLiteral("Pause")}, pauseThenPlay{QStringLiteral("Pause"), QStringLiteral("Play")};

    // Dictation: paused from the activation; the user resumes the podcast
    // during the take, so only the music is played again after it.
    PasteTarget target(env);
    const qsizetype before = audioFramesReceived();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([&] { return music.calls() == pause && podcast.calls() == pause; }, 5000));
    podcast.setStatus(QStringLiteral("Playing"));
    speakWhileRecording(before);
    EXPECT_EQ(music.calls(), pause) << "still paused while the take goes on";
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "the take was held up";
    ASSERT_TRUE(waitUntil([&] { return music.calls() == pauseThenPlay; }, 5000));
    settle(300);
    EXPECT_EQ(podcast.calls(), pause);
    EXPECT_EQ(video.calls(), QStringList());

    // The chat assistant: the music stays paused until its answer has been spoken.
    useScenario(R"({"chat":{"defaultAnswer":"第一句话在这里。第二句话在这里。"},
                    "synthesis":{"toneHz":{"第一句":440,"第二句":660}}})");
    SpeakerRecording speaker;
    const qint64 started = QDateTime::currentMSecsSinceEpoch();
    holdAndSpeak(QStringLiteral("ctrl"));
    ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("回复已完成")); }, 15000));
    ASSERT_TRUE(waitUntil([&] { return music.calls().size() == 4; }, 5000)) << music.calls().join(' ').toStdString();
    settle(500);
    speaker.stop();
    EXPECT_EQ(music.calls().mid(2), pauseThenPlay);
    EXPECT_TRUE(speaker.heardPitches({440, 660})) << speaker.heardText();
    EXPECT_TRUE(speaker.firstSoundAfter(started).has_value());
    EXPECT_FALSE(speaker.firstSoundAfter(music.callTimes().last()).has_value())
        << "played again before the answer was over";
    EXPECT_EQ(video.calls(), QStringList());

    // Turned off: the room is left alone.
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("pauseMedia"), QStringLiteral("false")})
                  .exitCode, 0);
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("文本已输入")); }, 10000));
    settle(300);
    EXPECT_EQ(music.calls().size(), 4);
}

TEST_F(Application, CuesRiseAtTheStartAndFallAtTheEndAndTheRecogniserMakesNoWordsOfThem)
{
    // The recogniser gives words only for speech, and the speaker is heard by
    // the microphone, as in a room.
    useScenario(R"({"recognition":{"minVoicedMs":300}})");
    QByteArray loopback;
    ASSERT_TRUE(PulseControl::pactl({QStringLiteral("load-module"), QStringLiteral("module-loopback"),
                                     QStringLiteral("source=speaker.monitor"), QStringLiteral("sink=vmic_sink"),
                                     QStringLiteral("latency_msec=20")},
                                    &loopback));
    const auto unload = qScopeGuard([&] { PulseControl::pactl({QStringLiteral("unload-module"), QString::fromUtf8(loopback)}); });
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("soundCues"), QStringLiteral("true")})
                  .exitCode, 0);
    PasteTarget target(env);
    SpeakerRecording speaker;
    // The recorder takes its time to start on a busy machine: a cue played
    // before it runs would not be heard.
    ASSERT_TRUE(waitUntil([&] { return speaker.hasStarted(); }, 5000)) << "the speaker is not recorded";
    settle(300);
    const qsizetype before = audioFramesReceived();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([&] { return audioFramesReceived() > before; }, 8000));
    settle(1500);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("未识别到语音内容")); }, 10000));
    settle(600);
    speaker.stop();
    EXPECT_TRUE(target.text().isEmpty()) << "the cue was taken for words";

    const QList<QByteArray> sounds = speaker.sounds();
    const auto pitchOf = [](const QByteArray &pcm) {
        AudioAnalysis part;
        part.add(pcm);
        return part.dominantHz();
    };
    QStringList heard;
    for (const QByteArray &sound : sounds)
        heard << QStringLiteral("%1 ms from %2 Hz to %3 Hz")
                     .arg(sound.size() / 32)
                     .arg(pitchOf(sound.left(sound.size() / 3 / 2 * 2)))
                     .arg(pitchOf(sound.right(sound.size() / 3 / 2 * 2)));
    ASSERT_EQ(sounds.size(), 2) << "a cue at the start and one at the end; heard " << heard.join(", ").toStdString();
    for (int i = 0; i < 2; ++i) {
        const QByteArray &cue = sounds[i];
        EXPECT_LT(cue.size() / 32, 150) << "under 150 ms";
        const double early = pitchOf(cue.left(cue.size() / 3 / 2 * 2)), late = pitchOf(cue.right(cue.size() / 3 / 2 * 2));
        if (i == 0)
            EXPECT_LT(early, late) << "the start rises";
        else
            EXPECT_GT(early, late) << "the end falls";
    }
    // The start cue reached the recogniser, and gave no words.
    double loudest = 0;
    for (const QJsonObject &frame : server.recorder().recordsOfKind(QStringLiteral("ws-binary")))
        loudest = std::max(loudest, frame[QStringLiteral("rms")].toDouble());
    EXPECT_GE(loudest, 0.02) << "the microphone heard the cue";
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("soundCues"), QStringLiteral("false")})
                  .exitCode, 0);
}

TEST_F(Application, HoldingSuperDraftsAReplyFromTheScreen)
{
    PasteTarget target(env, {QStringLiteral("--color"), QStringLiteral("#2a7ae2")});
    useScenario(R"({"vision":{"reply":"好的，我这就过去！"}})");
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super"), QStringLiteral("sleep"),
                                                  QStringLiteral("0.6"), QStringLiteral("keyup"), QStringLiteral("super")}),
              0);
    ASSERT_TRUE(waitUntil([&] { return !target.text().isEmpty(); }, 10000)) << "no reply was typed";
    EXPECT_EQ(target.text(), QStringLiteral("好的，我这就过去！"));
    const auto images = server.recorder().recordsOfKind(QStringLiteral("image"));
    ASSERT_EQ(images.size(), 1);
    EXPECT_LE(std::max(images[0][QStringLiteral("width")].toInt(), images[0][QStringLiteral("height")].toInt()), 1920);
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("BFF 回复已输入")); }, 5000));
    EXPECT_TRUE(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).isEmpty()) << "nothing was recorded";
}

TEST_F(Application, WithTheServiceDownEachModeEndsWithItsFailureAndStaysUsable)
{
    server.close();
    PasteTarget target(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("sleep"),
                                                  QStringLiteral("0.8"), QStringLiteral("keyup"), QStringLiteral("alt")}),
              0);
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("未识别到语音内容")); }, 15000));
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("super"), QStringLiteral("sleep"),
                                                  QStringLiteral("0.6"), QStringLiteral("keyup"), QStringLiteral("super")}),
              0);
    EXPECT_TRUE(waitUntil([this] {
        return status()[QStringLiteral("statusMessage")].toString().startsWith(QStringLiteral("分析失败："));
    }, 15000));
    EXPECT_TRUE(target.text().isEmpty());
    EXPECT_EQ(app.state(), QProcess::Running);
}

} // namespace

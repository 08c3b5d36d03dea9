// What the user said or asked for survives a failure on the way, and the
// status line says what really happened.
#include "DictationCleanup.h"
#include "PasteTarget.h"
#include "RunningApplication.h"
#include "TakeAudioFile.h"
#include "TakeHistory.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QScopeGuard>
#include <QTimer>

#include <sys/stat.h>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

using ApplicationFaults = RunningApplicationWithShortWaits;

// Takes whose words the service lost, kept and sent again.
class KeptTakes : public RunningApplicationWithShortWaits
{
protected:
    void SetUp() override
    {
        RunningApplicationWithShortWaits::SetUp();
        // The session's history is shared: earlier tests' takes go first.
        ASSERT_EQ(run({QStringLiteral("history"), QStringLiteral("clear")}).exitCode, 0);
    }

    // Holds the key while a tone of the length plays into the microphone,
    // then lets it go; the key is pressed again mid-way for a cancellation.
    void holdSpeaking(const QString &key, double seconds, bool cancel = false)
    {
        const QString wav = writeTone(dir.filePath(QStringLiteral("take.wav")), 16000, 1, seconds);
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        settle(600); // the long press has become a take
        QProcess speaker;
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), wav});
        settle(int(seconds * 1000) + 300);
        speaker.kill();
        speaker.waitForFinished(5000);
        if (cancel) {
            ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("x")}), 0);
        }
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
        endingStatus();
    }

    std::optional<TakeRecord> newest()
    {
        const QString line = run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1"),
                                  QStringLiteral("--json")}).out.trimmed();
        return TakeRecord::fromJson(line.toUtf8());
    }

    // The digest the stand-in gives the audio of a recognition task.
    static QString digest(const QByteArray &pcm)
    {
        return QString::fromLatin1(QCryptographicHash::hash(pcm, QCryptographicHash::Sha256).toHex());
    }
    QStringList digestsReceived() const
    {
        QStringList digests;
        for (const QJsonObject &audio : server.recorder().recordsOfKind(QStringLiteral("audio")))
            digests << audio[QStringLiteral("sha256")].toString();
        return digests;
    }
    int historyLines() { return run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("500")}).out.count(u'\n'); }
};

TEST_F(KeptTakes, ATakeTheServiceFailedKeepsItsAudioAndRetrySendsItAgainToTheClipboard)
{
    useScenario(R"({"recognition":{"fault":{"type":"task-failed","at":"start"}}})");
    holdSpeaking(QStringLiteral("alt"), 1.5);
    std::optional<TakeRecord> failed = newest();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->ending, QLatin1String(TakeRecord::kFailed));
    EXPECT_TRUE(failed->text.isEmpty());
    ASSERT_FALSE(failed->audio.isEmpty()) << "the take's audio is kept although no task ever ran";
    EXPECT_GE(failed->audioMs, 1400);
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(failed->audio).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    const std::optional<TakeAudio> kept = TakeAudio::read(failed->audio);
    ASSERT_TRUE(kept);
    const int lines = historyLines();

    // The service is back: the same audio goes again, the words wait on the clipboard.
    useScenario(R"({"recognition":{"sentences":["失而复得的一句话。"]}})");
    const auto retried = run({QStringLiteral("retry")});
    EXPECT_EQ(retried.exitCode, 0) << retried.err.toStdString();
    EXPECT_EQ(retried.out.trimmed(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(clipboard(), QStringLiteral("失而复得的一句话。"));
    EXPECT_TRUE(digestsReceived().contains(digest(kept->pcm))) << "what was kept is what was sent, sample for sample";
    const std::optional<TakeRecord> now = newest();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->time, failed->time) << "the same take";
    EXPECT_EQ(now->ending, QLatin1String(TakeRecord::kClipboard));
    EXPECT_EQ(now->text, QStringLiteral("失而复得的一句话。"));
    EXPECT_TRUE(now->audio.isEmpty()) << "done at last: its audio goes";
    EXPECT_FALSE(QFile::exists(failed->audio));
    EXPECT_EQ(historyLines(), lines) << "updated, not added";

    const auto none = run({QStringLiteral("retry")});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_TRUE(none.err.contains(QStringLiteral("没有保存了音频的失败或取消的录音"))) << none.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("retry"), QStringLiteral("x")}).exitCode, 2);
}

TEST_F(KeptTakes, WithAnotherTranscriptionServerATakeGoesThereAtTheReleaseAndARefusedOneIsRetriedThere)
{
    useScenario(R"({"hostKeys":{"localhost":"sk-whisper-host-77"},"recognition":{"sentences":["上传的听写。"]}})");
    // The keyring outlives this test.
    const auto forget = qScopeGuard([this] {
        run({QStringLiteral("key"), QStringLiteral("remove"), QStringLiteral("--host"), QStringLiteral("localhost")});
    });
    const auto set = [&](const char *field, const QString &value) {
        return run({QStringLiteral("config"), QStringLiteral("set"), QString::fromLatin1(field), value}).exitCode;
    };
    ASSERT_EQ(set("transcriptionService", QStringLiteral("openai")), 0);
    ASSERT_EQ(set("transcriptionBaseURL", QStringLiteral("http://localhost:%1/v1").arg(server.port())), 0);
    ASSERT_EQ(set("transcriptionModel", QStringLiteral("whisper-1")), 0);
    const auto uploads = [this] { return server.recorder().recordsOfKind(QStringLiteral("transcription")); };
    PasteTarget target(env);

    // No key stored for that host: none is sent, the refusal is said, the take kept.
    holdSpeaking(QStringLiteral("alt"), 1.0);
    EXPECT_TRUE(status()[QStringLiteral("statusMessage")].toString().startsWith(
        QStringLiteral("识别失败：转写失败 (401): Incorrect API key provided.")))
        << status()[QStringLiteral("statusMessage")].toString().toStdString();
    ASSERT_EQ(uploads().size(), 1) << "one request, at the release";
    EXPECT_EQ(uploads().last()[QStringLiteral("authorization")].toString(), QString()) << "never the service's key";
    EXPECT_EQ(uploads().last()[QStringLiteral("fields")][QStringLiteral("model")].toString(), QStringLiteral("whisper-1"));
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size(), 0) << "the service's recogniser was used";
    const std::optional<TakeRecord> failed = newest();
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->ending, QLatin1String(TakeRecord::kFailed));
    ASSERT_FALSE(failed->audio.isEmpty());
    const std::optional<TakeAudio> kept = TakeAudio::read(failed->audio);
    ASSERT_TRUE(kept);
    EXPECT_EQ(uploads().last()[QStringLiteral("file")][QStringLiteral("bytes")].toInt(), kept->pcm.size() + 44)
        << "what went up is what was kept";
    EXPECT_EQ(target.text(), QString());

    // Its key stored: the retry goes to the same server, with that key.
    ASSERT_EQ(run({QStringLiteral("key"), QStringLiteral("set"), QStringLiteral("--host"), QStringLiteral("localhost")},
                  "sk-whisper-host-77\n").exitCode, 0);
    const auto retried = run({QStringLiteral("retry")});
    EXPECT_EQ(retried.exitCode, 0) << retried.err.toStdString();
    EXPECT_EQ(clipboard(), QStringLiteral("上传的听写。"));
    ASSERT_EQ(uploads().size(), 2);
    EXPECT_EQ(uploads().last()[QStringLiteral("authorization")].toString(), QStringLiteral("Bearer sk-w****t-77"));
    EXPECT_EQ(uploads().last()[QStringLiteral("host")].toString(), QStringLiteral("localhost"));

    // And the next take is typed where the focus is.
    holdSpeaking(QStringLiteral("alt"), 1.0);
    EXPECT_TRUE(waitUntil([&] { return target.text() == QStringLiteral("上传的听写。"); }, 5000)) << target.text().toStdString();
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size(), 0);
}

TEST_F(KeptTakes, AQuestionThroughOtherServersIsHeardThereAndAnsweredAloudThere)
{
    useScenario(R"({"recognition":{"sentences":["今天天气怎么样？"]},)"
                R"("chat":{"answers":{"今天天气怎么样？":"今天晴，最高二十三度。适合出门走走！"}},)"
                R"("audio":{"keylessHosts":["localhost"],"chunkBytes":1024,"chunkDelayMs":20}})");
    const QString base = QStringLiteral("http://localhost:%1/v1").arg(server.port());
    for (const auto &[field, value] : {std::pair{"transcriptionService", QStringLiteral("openai")},
                                       std::pair{"transcriptionBaseURL", base}, std::pair{"speechService", QStringLiteral("openai")},
                                       std::pair{"speechBaseURL", base}}) {
        ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QString::fromLatin1(field), value}).exitCode, 0);
    }
    holdSpeaking(QStringLiteral("ctrl"), 1.0);
    EXPECT_TRUE(waitUntil([this] { return idleWith(QStringLiteral("回复已完成")); }, 15000))
        << status()[QStringLiteral("statusMessage")].toString().toStdString();
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("transcription")).size(), 1);
    QStringList spoken;
    for (const QJsonObject &speech : server.recorder().recordsOfKind(QStringLiteral("speech")))
        spoken << speech[QStringLiteral("json")][QStringLiteral("input")].toString();
    EXPECT_EQ(spoken.join(QString()), QStringLiteral("今天晴，最高二十三度。适合出门走走！")) << "each sentence, in order";
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("ws-upgrade")).size(), 0)
        << "neither the service's recogniser nor its synthesis";
    EXPECT_TRUE(loggedSoon(QStringLiteral("🔊 [TTS] 开始 OpenAI 兼容语音合成")));
}

TEST_F(KeptTakes, ATakeThatLostItsConnectionOrWasCancelledIsSentAgainWhole)
{
    // The connection drops after a second of speech; the take reconnects.
    useScenario(R"({"recognition":{"sentences":["断线以后。"],"fault":{"type":"close-after","audioMs":1000}}})");
    const qsizetype closesBefore = server.recorder().recordsOfKind(QStringLiteral("fault-close")).size();
    // The service is back as soon as the connection has dropped.
    QTimer back;
    back.setInterval(50);
    QObject::connect(&back, &QTimer::timeout, [&] {
        if (server.recorder().recordsOfKind(QStringLiteral("fault-close")).size() > closesBefore) {
            useScenario(R"({"recognition":{"sentences":["断线以后。"]}})");
            back.stop();
        }
    });
    back.start();
    holdSpeaking(QStringLiteral("alt"), 3.0);
    EXPECT_TRUE(loggedSoon(QStringLiteral("断线重连成功")));
    std::optional<TakeRecord> troubled = newest();
    ASSERT_TRUE(troubled);
    ASSERT_FALSE(troubled->audio.isEmpty()) << "a take that lost its connection is kept however it ended";
    EXPECT_GE(troubled->audioMs, 2900) << "the whole take, through the reconnection";
    const std::optional<TakeAudio> kept = TakeAudio::read(troubled->audio);
    ASSERT_TRUE(kept);

    useScenario(R"({"recognition":{"sentences":["完整的一句话。"]}})");
    const auto retried = run({QStringLiteral("retry"), QStringLiteral("1")});
    EXPECT_EQ(retried.exitCode, 0) << retried.err.toStdString();
    EXPECT_EQ(clipboard(), QStringLiteral("完整的一句话。"));
    EXPECT_TRUE(digestsReceived().contains(digest(kept->pcm)));

    // A cancelled take: kept, and sent again the same way.
    holdSpeaking(QStringLiteral("alt"), 1.0, true);
    std::optional<TakeRecord> cancelled = newest();
    ASSERT_TRUE(cancelled);
    EXPECT_EQ(cancelled->ending, QLatin1String(TakeRecord::kCancelled));
    ASSERT_FALSE(cancelled->audio.isEmpty());
    useScenario(R"({"recognition":{"sentences":["取消了也能找回。"]}})");
    EXPECT_EQ(run({QStringLiteral("retry")}).exitCode, 0);
    EXPECT_EQ(clipboard(), QStringLiteral("取消了也能找回。"));
    EXPECT_EQ(newest()->ending, QLatin1String(TakeRecord::kClipboard));
}

TEST_F(KeptTakes, AQuestionTheServiceFailedIsAnsweredAloudWhenRetried)
{
    useScenario(R"({"recognition":{"fault":{"type":"task-failed","at":"start"}}})");
    holdSpeaking(QStringLiteral("ctrl"), 1.0);
    ASSERT_TRUE(newest() && newest()->mode == AppMode::ChatAssistant && !newest()->audio.isEmpty());
    useScenario(R"({"recognition":{"sentences":["明天下雨吗？"]},"chat":{"answers":{"明天下雨吗？":"明天不会下雨，是晴天。"}}})");
    const auto retried = run({QStringLiteral("retry")});
    EXPECT_EQ(retried.exitCode, 0) << retried.err.toStdString();
    const std::optional<TakeRecord> now = newest();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->text, QStringLiteral("明天下雨吗？"));
    EXPECT_EQ(now->answer, QStringLiteral("明天不会下雨，是晴天。"));
    EXPECT_EQ(now->ending, QLatin1String(TakeRecord::kSpoken));
    EXPECT_FALSE(server.recorder().recordsOfKind(QStringLiteral("tts-audio")).isEmpty()) << "the answer was spoken";

    // A retry that fails again keeps the audio and says why.
    useScenario(R"({"recognition":{"fault":{"type":"task-failed","at":"start"}}})");
    holdSpeaking(QStringLiteral("ctrl"), 1.0);
    const auto again = run({QStringLiteral("retry")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("重试失败"))) << again.err.toStdString();
    EXPECT_TRUE(QFile::exists(newest()->audio));
}

TEST_F(ApplicationFaults, ADictationWhoseWindowClosedMeanwhileWaitsOnTheClipboard)
{
    useScenario(R"({"recognition":{"sentences":["窗口关了也不丢。"]}})");
    auto target = std::make_unique<PasteTarget>(env);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("alt")}), 0);
    ASSERT_TRUE(waitUntil([this] { return audioFramesReceived() > 0; }, 8000)) << "the recording never started";
    target.reset(); // the chat window goes away while the user speaks
    settle(300);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("alt")}), 0);
    EXPECT_EQ(endingStatus(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(clipboard(), QStringLiteral("窗口关了也不丢。"));
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚠️ [粘贴] 没有获得键盘焦点的窗口")));
}

TEST_F(ApplicationFaults, AChatWhoseStreamBreaksKeepsTheQuestionAndSaysTheAnswerWasCut)
{
    useScenario(R"({"recognition":{"sentences":["第一个问题？"]},
                    "chat":{"defaultAnswer":"这是一个会被打断的很长的回答。后面还有。","chunkChars":4,
                            "fault":{"type":"close-after","frames":2}}})");
    press(QStringLiteral("ctrl"), 700);
    const QString cut = endingStatus();
    EXPECT_TRUE(cut.startsWith(QStringLiteral("回复中断："))) << cut.toStdString();

    // The next question carries the first one and the part of its answer
    // that was heard.
    useScenario(R"({"recognition":{"sentences":["第二个问题？"]},"chat":{"defaultAnswer":"好。"}})");
    press(QStringLiteral("ctrl"), 700);
    EXPECT_EQ(endingStatus(), QStringLiteral("回复已完成"));
    const auto requests = server.recorder().recordsOfKind(QStringLiteral("http-request"));
    ASSERT_EQ(requests.size(), 2);
    const QJsonArray messages = requests[1][QStringLiteral("json")][QStringLiteral("messages")].toArray();
    QStringList contents;
    for (const QJsonValue &message : messages)
        contents << message[QStringLiteral("role")].toString() + QLatin1Char(':') + message[QStringLiteral("content")].toString();
    ASSERT_EQ(contents.size(), 4) << contents.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(contents[1], QStringLiteral("user:第一个问题？"));
    EXPECT_EQ(contents[2], QStringLiteral("assistant:这是一个"));
    EXPECT_EQ(contents[3], QStringLiteral("user:第二个问题？"));
}

TEST_F(ApplicationFaults, AReplyWhoseRequestTimesOutSaysSoAndTypesNothing)
{
    PasteTarget target(env);
    useScenario(R"({"vision":{"fault":{"type":"never-answer"}}})");
    QElapsedTimer timer;
    timer.start();
    press(QStringLiteral("super"), 600);
    EXPECT_EQ(endingStatus(), QStringLiteral("分析失败：服务 3 秒没有回应，请求已放弃"));
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(target.text().isEmpty());
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("image")).size(), 1);
}

TEST_F(ApplicationFaults, EachWayACleanUpGoesWrongTypesTheWordsAsHeardAndLogsWhy)
{
    PasteTarget target(env);
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("light")}).exitCode, 0);
    const QString heard = QStringLiteral("嗯，明天下午的会议改到四点，请大家准时参加。");
    struct Case
    {
        QByteArray cleanup;
        QString reason;
    };
    const QList<Case> cases{
        {R"({"behaviour":"answer"})", QStringLiteral("润色结果不是原文的修改")},
        {R"({"behaviour":"preamble"})", QStringLiteral("润色结果带有开场白")},
        {R"({"behaviour":"empty"})", QStringLiteral("润色结果为空")},
        {R"({"behaviour":"translate"})", QStringLiteral("润色结果换了语言")},
        {R"({"behaviour":"tag"})", QStringLiteral("润色结果含有提示标签")},
        {R"({"fault":{"type":"http-error","status":500,"body":"upstream broken"}})", QStringLiteral("润色请求失败")},
        {R"({"delayMs":4000})", QStringLiteral("润色超时")},
    };
    QString typed;
    for (const Case &c : cases) {
        useScenario(R"({"recognition":{"sentences":[")" + heard.toUtf8() + R"("]},"cleanup":)" + c.cleanup + "}");
        holdAndSpeak(QStringLiteral("alt"));
        EXPECT_EQ(endingStatus(), QStringLiteral("文本已输入（未润色：%1）").arg(c.reason)) << c.cleanup.toStdString();
        typed += heard;
        EXPECT_TRUE(waitUntil([&] { return target.text() == typed; }, 3000))
            << c.cleanup.toStdString() << ": " << target.text().toStdString();
        EXPECT_TRUE(loggedSoon(QStringLiteral("⚠️ [润色] 未采用润色结果（%1）").arg(c.reason))) << c.cleanup.toStdString();
    }
    EXPECT_EQ(server.recorder().recordsOfKind(QStringLiteral("http-request")).size(), cases.size());

    // Esc while the clean-up runs: nothing typed, the take kept as cancelled.
    // A long take has a long time limit: the Esc comes well within it.
    const QString longer = heard.repeated(12);
    ASSERT_GE(DictationCleanup::timeLimit(longer).count(), 3000);
    useScenario(R"({"recognition":{"sentences":[")" + longer.toUtf8() + R"("]},"cleanup":{"delayMs":8000}})");
    const qsizetype begun = log().count(QStringLiteral("🧹 [润色] 开始润色"));
    holdAndSpeak(QStringLiteral("alt"));
    ASSERT_TRUE(waitUntil([&] { return log().count(QStringLiteral("🧹 [润色] 开始润色")) > begun; }, 5000))
        << "no clean-up under way";
    // The ball is back while the words are cleaned up, and gone with the run.
    const auto ballShown = [] {
        return TestSupport::toolOutput(QStringLiteral("xwininfo"), {QStringLiteral("-name"), QStringLiteral("Quillwren indicator")})
            .contains(QStringLiteral("IsViewable"));
    };
    EXPECT_TRUE(waitUntil(ballShown, 2000)) << "no ball while cleaning up";
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Escape")}), 0);
    EXPECT_EQ(endingStatus(), QStringLiteral("已取消"));
    EXPECT_FALSE(ballShown());
    settle(300);
    EXPECT_EQ(target.text(), typed) << "nothing typed after Esc";
    const auto newest = TakeRecord::fromJson(run({QStringLiteral("history"), QStringLiteral("-n"), QStringLiteral("1"),
                                                  QStringLiteral("--json")}).out.trimmed().toUtf8());
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->ending, QLatin1String(TakeRecord::kCancelled));
    EXPECT_EQ(newest->text, longer) << "the words are kept";
    ASSERT_EQ(run({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("dictationCleanup"),
                   QStringLiteral("off")}).exitCode, 0);
}

} // namespace

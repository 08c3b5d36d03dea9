// A mode key held in an everyday combination (Alt+Tab, Alt with a drag,
// Ctrl+C, Esc) never turns into a take: the microphone closes, nothing more
// goes to the service, nothing is typed or asked, and the other key or click
// still reaches the window it was meant for.
#include "PasteTarget.h"
#include "RunningApplication.h"

#include <QElapsedTimer>

using TestSupport::runTool;
using TestSupport::settle;
using TestSupport::waitUntil;

namespace {

class Combinations : public RunningApplication
{
protected:
    void SetUp() override
    {
        RunningApplication::SetUp();
        tone = writeTone(dir.filePath(QStringLiteral("room.wav")), 16000, 1, 30.0);
        // The room is never quiet: whatever a take records would be sent.
        speaker.start(QStringLiteral("paplay"), {QStringLiteral("--device=vmic_sink"), tone});
    }

    void TearDown() override
    {
        speaker.kill();
        speaker.waitForFinished(3000);
        RunningApplication::TearDown();
    }

    bool microphoneOpen()
    {
        const QString outputs = TestSupport::toolOutput(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("source-outputs")});
        return outputs.contains(QStringLiteral("application.process.id = \"%1\"").arg(app.processId()));
    }

    // Holds the key until its take records, then does what cancels it
    // (xdotool's arguments) and checks the take is gone; then the rest of
    // the gesture (afterwards), and lets the key go.
    void cancelTake(const QString &key, const QStringList &combination, const QStringList &afterwards = {})
    {
        const QString before = status()[QStringLiteral("statusMessage")].toString();
        const qsizetype framesBefore = audioFramesReceived();
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), key}), 0);
        ASSERT_TRUE(waitUntil([&] { return audioFramesReceived() > framesBefore; }, 8000))
            << "the take never started recording";
        settle(200);
        const qsizetype framesAtCombination = audioFramesReceived();
        QElapsedTimer cancelled;
        cancelled.start();
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), combination), 0);
        EXPECT_TRUE(waitUntil([this] { return !microphoneOpen(); }, 3000));
        const qint64 closedMs = cancelled.elapsed();
        settle(600);
        if (!afterwards.isEmpty()) {
            ASSERT_EQ(runTool(QStringLiteral("xdotool"), afterwards), 0);
        }
        ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), key}), 0);
        settle(500);
        std::cerr << key.toStdString() << " + " << combination.join(QLatin1Char(' ')).toStdString()
                  << ": microphone closed after " << closedMs << " ms, "
                  << audioFramesReceived() - framesAtCombination << " frame(s) after the combination" << std::endl;
        EXPECT_LT(closedMs, 300);
        // A buffer already on its way when the key came may still land; nothing after it.
        EXPECT_LE(audioFramesReceived() - framesAtCombination, 1);
        EXPECT_TRUE(idleWith(QStringLiteral("已取消")))
            << QJsonDocument(status()).toJson().toStdString() << " before: " << before.toStdString();
        EXPECT_TRUE(loggedSoon(QStringLiteral("🚫 [RealtimeASR] 取消识别，丢弃本次录音")));
    }

    // How many tasks were finished for their text.
    qsizetype finishes() const
    {
        qsizetype count = 0;
        for (const QJsonObject &frame : server.recorder().recordsOfKind(QStringLiteral("ws-text")))
            count += frame[QStringLiteral("json")][QStringLiteral("header")][QStringLiteral("action")] == QStringLiteral("finish-task");
        return count;
    }

    QString tone;
    QProcess speaker;
};

TEST_F(Combinations, EscOrTabWhileRecordingDiscardsTheTakeAndTheKeyStillArrives)
{
    PasteTarget target(env);
    cancelTake(QStringLiteral("alt"), {QStringLiteral("key"), QStringLiteral("Escape")});
    EXPECT_TRUE(target.gotKey(QStringLiteral("Esc"))) << "nothing is swallowed";

    cancelTake(QStringLiteral("ctrl"), {QStringLiteral("key"), QStringLiteral("Escape")});

    // Alt+Tab held: the window manager takes the Tab to switch windows.
    cancelTake(QStringLiteral("alt"), {QStringLiteral("keydown"), QStringLiteral("Tab")},
               {QStringLiteral("keyup"), QStringLiteral("Tab")});

    EXPECT_EQ(finishes(), 0) << "no take was finished for its text";
    EXPECT_TRUE(target.text().isEmpty()) << "nothing typed";
    EXPECT_TRUE(server.recorder().recordsOfKind(QStringLiteral("http-request")).isEmpty()) << "nothing asked";
}

TEST_F(Combinations, AltHeldThroughADragDiscardsTheTakeAndTheDragStillMovesTheWindow)
{
    PasteTarget target(env, {QStringLiteral("--rect"), QStringLiteral("100,100,400,120")});
    const auto where = [] {
        return TestSupport::toolOutput(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--name"),
                                                                   QStringLiteral("quillwren-paste-target"),
                                                                   QStringLiteral("getwindowgeometry")});
    };
    const QString before = where();
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("300"), QStringLiteral("160")}), 0);
    // Alt with the first button is the window manager's move.
    cancelTake(QStringLiteral("alt"), {QStringLiteral("mousedown"), QStringLiteral("1")},
               {QStringLiteral("mousemove"), QStringLiteral("350"), QStringLiteral("180"), QStringLiteral("mouseup"),
                QStringLiteral("1")});
    EXPECT_NE(where(), before) << "the drag reached the window manager: " << before.toStdString();
    EXPECT_EQ(finishes(), 0);
    EXPECT_TRUE(target.text().isEmpty());
}

TEST_F(Combinations, CtrlCTypedSlowlySendsNothingAtAll)
{
    PasteTarget target(env);
    // Ctrl held 600 ms with C inside the long press: a copy, not a question.
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keydown"), QStringLiteral("ctrl")}), 0);
    settle(80);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("c")}), 0);
    QElapsedTimer sinceC;
    sinceC.start();
    EXPECT_TRUE(waitUntil([this] { return !microphoneOpen(); }, 3000));
    const qint64 closedMs = sinceC.elapsed();
    settle(520);
    ASSERT_EQ(runTool(QStringLiteral("xdotool"), {QStringLiteral("keyup"), QStringLiteral("ctrl")}), 0);
    settle(800);
    std::cerr << "Ctrl+C: microphone closed " << closedMs << " ms after C" << std::endl;
    EXPECT_LT(closedMs, 300);
    EXPECT_EQ(audioFramesReceived(), 0);
    EXPECT_TRUE(target.gotKey(QStringLiteral("C")));
    EXPECT_TRUE(loggedSoon(QStringLiteral("⚡️ 聊天助手 检测到组合键（keyCode: ")));
    EXPECT_FALSE(logged(QStringLiteral("✅ 长按检测成功"))) << log().toStdString();
    EXPECT_TRUE(server.recorder().recordsOfKind(QStringLiteral("http-request")).isEmpty());
    const QJsonObject now = status();
    EXPECT_FALSE(now[QStringLiteral("isProcessing")].toBool());
    EXPECT_TRUE(now[QStringLiteral("currentMode")].isNull());
}

} // namespace

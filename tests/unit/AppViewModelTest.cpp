#include "ControllerFixture.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using TestSupport::settle;
using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

constexpr std::uint64_t Option = ModifierMask::Option;
constexpr std::uint64_t Control = ModifierMask::Control;
constexpr std::uint64_t Command = ModifierMask::Command;

// The controller, with a white screen to capture and the statuses it showed.
class Controller : public ControllerFixture
{
protected:
    void SetUp() override
    {
        desktop.screenImage = QImage(2560, 1440, QImage::Format_RGB32);
        desktop.screenImage.fill(Qt::white);
        makeController();
        QObject::connect(controller.get(), &AppViewModel::statusMessageChanged,
                         [this](const QString &status) { statuses << status; });
        QObject::connect(controller.get(), &AppViewModel::runEnded,
                         [this](const RunEnding &ending) { endings << ending; });
        QObject::connect(controller.get(), &AppViewModel::takeRecorded,
                         [this](const TakeRecord &record) { records << record; });
    }

    // A key other than the mode's own goes down while it is held.
    void combination(std::int32_t keyCode)
    {
        source.key(keyCode);
        keys->runTasks();
        settle(10);
    }

    // Dictation with the clean-up at the level, the words heard and the
    // model's answer; the records the history was given.
    void cleanUp(const QString &level, const QString &heard, const QStringList &answer)
    {
        AppConfig config = settings.loadAppConfig();
        config.dictationCleanup = level;
        settings.saveAppConfig(config);
        recognizer.transcript = heard;
        service.chunks = answer;
        activate(Option);
        release();
    }

    QStringList statuses;
    QList<RunEnding> endings;
    QList<TakeRecord> records;
};

TEST_F(Controller, RightAfterConstructionNothingRuns)
{
    EXPECT_TRUE(idle());
    EXPECT_TRUE(controller->statusMessage().isEmpty());
    EXPECT_TRUE(controller->hasApiKey());
    EXPECT_EQ(recognizer.stops, 0) << "the first value of the mode is not a release";
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("⚠️ [AppViewModel] 辅助功能不可用")).isEmpty());
}

TEST_F(Controller, NoKeyAndNoAccessibilityAreReportedAtStart)
{
    storedKey = QString();
    accessibilityProblem = QStringLiteral("XTest 不可用");
    makeController();
    EXPECT_FALSE(controller->hasApiKey());
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [AppViewModel] 辅助功能不可用：XTest 不可用")).size(), 1);
}

TEST_F(Controller, APressWarmsUpAndAShortPressCancelsWithoutAStatus)
{
    source.press(Option);
    keys->runTasks();
    EXPECT_EQ(recognizer.warmUps, 1);
    keys->elapse(100ms);
    release();
    settle(20);
    EXPECT_EQ(recognizer.cancelledWarmUps, 1);
    EXPECT_EQ(recognizer.starts, 0);
    EXPECT_TRUE(idle());
    EXPECT_TRUE(statuses.isEmpty());
}

TEST_F(Controller, DictationTypesTheTranscriptAndShowsEachStepInOrder)
{
    recognizer.transcript = QStringLiteral("你好，这是一段语音输入。");
    activate(Option);
    EXPECT_EQ(controller->currentMode(), AppMode::VoiceInput);
    EXPECT_EQ(recognizer.connects, 0) << "the warm-up's connection is taken over";
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("正在聆听..."));
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(desktop.pastes, (QList<FakeDesktopBackend::Paste>{{QStringLiteral("你好，这是一段语音输入。"),
                                                                 QStringLiteral("Ctrl+V"), QStringLiteral("editor")}}));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("正在聆听..."), QStringLiteral("正在处理..."),
                                     QStringLiteral("识别中：你好，这是一段语音输入。"),
                                     QStringLiteral("识别完成：你好，这是一段语音输入。"), QStringLiteral("文本已输入")}));
    EXPECT_TRUE(service.plainRequests.isEmpty()) << "no clean-up by default";
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("🧹")).isEmpty());
}

TEST_F(Controller, WithoutSyntheticKeysTheStatusSaysTheTextIsOnTheClipboard)
{
    desktop.pasteWorks = false;
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(desktop.clipboard, QStringLiteral("你好世界"));
    EXPECT_TRUE(log.linesStartingWith(QStringLiteral("✅ [语音输入] 文本注入成功")).isEmpty());
    ASSERT_EQ(endings.size(), 1);
    EXPECT_EQ(endings[0].kind, RunEnding::Kind::OnClipboard) << "an ending the user must hear of";
    EXPECT_EQ(endings[0].detail, QStringLiteral("你好世界"));

    // The window dictated for closed meanwhile and nothing has the focus:
    // no keystroke into nothing, and the status does not claim it was typed.
    desktop.pasteWorks = true;
    desktop.focusedWindow.clear();
    desktop.clipboard.clear();
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已复制到剪贴板，请手动粘贴"));
    EXPECT_EQ(desktop.clipboard, QStringLiteral("你好世界"));
    EXPECT_TRUE(desktop.pastes.isEmpty());
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [粘贴] 没有获得键盘焦点的窗口")).size(), 1);
}

TEST_F(Controller, AReleaseDuringTheStartWaitsForIt)
{
    recognizer.holdStart = true;
    activate(Option);
    ASSERT_TRUE(recognizer.startIsWaiting());
    release();
    settle(50);
    EXPECT_EQ(recognizer.stops, 0) << "nothing stops before the start has finished";
    EXPECT_FALSE(controller->isProcessing());

    // Another mode held meanwhile belongs to no run: the released one goes on.
    activate(Control);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [AppViewModel] 正在处理中，忽略新的模式激活：聊天助手")).size(), 1);
    EXPECT_EQ(recognizer.starts, 1);
    release();

    recognizer.releaseStart();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(recognizer.stops, 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入"));
}

TEST_F(Controller, AFailedStartIsShownAndTheReleaseEndsWithNothingRecognised)
{
    source.press(Option);
    keys->runTasks();
    recognizer.warmedUp = false; // the warm-up failed
    recognizer.connectResult = ServiceError::apiKeyMissing();
    keys->elapse(HotkeyMonitorService::kLongPressDelay);
    settle(10);
    EXPECT_EQ(recognizer.connects, 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("实时识别启动失败：请先配置 API Key"));
    EXPECT_EQ(controller->currentMode(), AppMode::VoiceInput) << "the mode stays until the release";
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("未识别到语音内容"));
    EXPECT_TRUE(desktop.pastes.isEmpty()) << "an old transcript is never typed";
    ASSERT_EQ(endings.size(), 1);
    EXPECT_EQ(endings[0].kind, RunEnding::Kind::Failed) << "the failed start is why nothing was heard";
    EXPECT_EQ(endings[0].detail, QStringLiteral("实时识别启动失败：请先配置 API Key"));
}

TEST_F(Controller, ACombinationDuringATakeDiscardsItWithNothingTypedAskedOrCaptured)
{
    for (std::uint64_t key : {Option, Control, Command}) {
        activate(key);
        ASSERT_TRUE(controller->currentMode());
        combination(23);
        ASSERT_TRUE(waitUntil([this] { return idle(); }));
        EXPECT_EQ(controller->statusMessage(), QStringLiteral("已取消"));
        ASSERT_FALSE(endings.isEmpty());
        EXPECT_EQ(endings.last().kind, RunEnding::Kind::Cancelled);
        EXPECT_FALSE(endings.last().needsAttention());
        release(); // the key let go afterwards ends nothing more
        settle(300);
        EXPECT_EQ(controller->statusMessage(), QStringLiteral("已取消"));
    }
    EXPECT_EQ(recognizer.cancels, 2) << "both recording modes dropped their take";
    EXPECT_EQ(recognizer.stops, 0) << "a cancelled take is never finished for its text";
    EXPECT_EQ(service.speechPrepared, 1) << "the chat take alone prepared a synthesis connection";
    EXPECT_EQ(service.preparedDropped, 1) << "and its cancellation closed it";
    EXPECT_TRUE(desktop.pastes.isEmpty());
    EXPECT_TRUE(service.chatRequests.isEmpty());
    EXPECT_TRUE(service.visionImages.isEmpty());
    EXPECT_EQ(endings.size(), 3);

    // The next take is whole again.
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入"));
    EXPECT_EQ(endings.last().kind, RunEnding::Kind::Done);
}

TEST_F(Controller, ACancelWhileTheStartStillRunsLeavesNoRecordingBehind)
{
    recognizer.holdStart = true;
    activate(Control);
    ASSERT_TRUE(recognizer.startIsWaiting());
    combination(9); // Esc
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    settle(50);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("已取消"))
        << "the start that ended in the cancellation reports no failure";
    EXPECT_FALSE(recognizer.startIsWaiting());
    EXPECT_FALSE(recognizer.isRecording());
    release();
    settle(50);
    EXPECT_EQ(recognizer.stops, 0);
    EXPECT_TRUE(service.chatRequests.isEmpty());

    recognizer.holdStart = false;
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入"));
}

TEST_F(Controller, AnActivationWhileBusyIsIgnoredAndItsReleaseStartsNoSecondRun)
{
    service.chunks = {QStringLiteral("这是一个很长的回答。")};
    player.clipMs = 400;
    activate(Control);
    release();
    ASSERT_TRUE(waitUntil([this] { return !player.played.isEmpty(); }));
    ASSERT_TRUE(controller->isProcessing());

    source.press(Option); // dictation while the answer is spoken
    keys->runTasks();
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [AppViewModel] 正在处理中，跳过预热：语音输入法")).size(), 1);
    keys->elapse(HotkeyMonitorService::kLongPressDelay);
    settle(10);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [AppViewModel] 正在处理中，忽略新的模式激活：语音输入法")).size(), 1);
    EXPECT_EQ(controller->currentMode(), AppMode::ChatAssistant);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }, 3000));
    EXPECT_EQ(recognizer.stops, 1) << "only the chat run stopped recognition";
    EXPECT_EQ(recognizer.warmUps, 1);
    EXPECT_TRUE(desktop.pastes.isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("回复已完成"));

    // The ignored key is not stuck: the next dictation works.
    activate(Option);
    EXPECT_EQ(controller->currentMode(), AppMode::VoiceInput);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(desktop.pastes.size(), 1);
}

TEST_F(Controller, TheChatModeSpeaksTheAnswerAndKeepsTheExchange)
{
    recognizer.transcript = QStringLiteral("今天天气怎么样？");
    service.chunks = {QStringLiteral("今天晴，最高二十三度。"), QStringLiteral("适合出门走走！")};
    activate(Control);
    EXPECT_EQ(service.speechPrepared, 1) << "the first sentence's connection opens while the question is asked";
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(service.preparedDropped, 1) << "whatever was left unused is closed with the answer";
    EXPECT_EQ(player.played, (QStringList{QStringLiteral("今天晴，最高二十三度。"), QStringLiteral("适合出门走走！")}));
    EXPECT_EQ(controller->chatHistory().size(), 2);
    EXPECT_EQ(statuses.mid(statuses.indexOf(QStringLiteral("正在思考..."))),
              (QStringList{QStringLiteral("正在思考..."), QStringLiteral("正在回复..."), QStringLiteral("回复已完成")}));
}

TEST_F(Controller, TheReplyModeCapturesAsksAndTypesTheReplyWithoutRecording)
{
    activate(Command);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("BFF 模式就绪，松开按键开始分析..."));
    EXPECT_EQ(recognizer.warmUps + recognizer.starts, 0) << "nothing is recorded for a reply";
    desktop.focusedWindow = QStringLiteral("chat");
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    ASSERT_EQ(service.visionImages.size(), 1);
    const QImage sent = QImage::fromData(QByteArray::fromBase64(service.visionImages[0].toLatin1()), "JPEG");
    EXPECT_EQ(sent.size(), QSize(1920, 1080));
    EXPECT_EQ(desktop.pastes, (QList<FakeDesktopBackend::Paste>{
                                  {QStringLiteral("好的，我这就过去！"), QStringLiteral("Ctrl+V"), QStringLiteral("chat")}}));
    EXPECT_EQ(statuses, (QStringList{QStringLiteral("BFF 模式就绪，松开按键开始分析..."), QStringLiteral("正在截屏..."),
                                     QStringLiteral("正在分析聊天内容..."), QStringLiteral("正在输入回复..."),
                                     QStringLiteral("BFF 回复已输入")}));
    EXPECT_EQ(recognizer.stops, 0);
}

TEST_F(Controller, ReplyFailuresEndTheRunWithTheirReason)
{
    service.visionReply = ServiceError{QStringLiteral("APIError"), 401, QStringLiteral("Invalid API-key provided.")};
    activate(Command);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("分析失败：Invalid API-key provided."));
    EXPECT_TRUE(desktop.pastes.isEmpty());

    desktop.screenImage = QImage(); // the screen cannot be read
    activate(Command);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("截屏失败，请在系统设置中授予屏幕录制权限"));
    EXPECT_EQ(service.visionImages.size(), 1) << "no request without a picture";
    ASSERT_EQ(endings.size(), 2);
    EXPECT_EQ(endings[0].kind, RunEnding::Kind::Failed);
    EXPECT_EQ(endings[1].kind, RunEnding::Kind::Failed);
}

TEST_F(Controller, ASmallCaptureIsOnlyAWarning)
{
    desktop.screenImage = QImage(8, 8, QImage::Format_RGB32);
    desktop.screenImage.fill(Qt::black);
    activate(Command);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [BFF] 截图数据过小 (")).size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("BFF 回复已输入"));
}

TEST_F(Controller, ARecorderErrorIsShownAndTheRecorderCancelled)
{
    recorder.recorderEncodeErrorDidOccur(QStringLiteral("磁盘已满"));
    ASSERT_TRUE(waitUntil([this] { return controller->statusMessage() == QStringLiteral("编码错误：磁盘已满"); }));
    EXPECT_EQ(recorder.recordingState(), RecordingState::idle());
}

TEST_F(Controller, ACleanedUpDictationTypesTheEditKeepsWhatWasHeardAndTheUsersFixesWin)
{
    AppConfig config = settings.loadAppConfig();
    config.replacements = {{QStringLiteral("千问"), QStringLiteral("Qwen")}};
    config.cleanupInstructions = QStringLiteral("British spelling");
    settings.saveAppConfig(config);
    cleanUp(QStringLiteral("light"), QStringLiteral("嗯，那个，千问明天三点，不对，四点发布"),
            {QStringLiteral("千问明天"), QStringLiteral("四点发布。")});
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    ASSERT_EQ(desktop.pastes.size(), 1);
    EXPECT_EQ(desktop.pastes[0].text, QStringLiteral("Qwen明天四点发布。")) << "the replacement applies to the edit";
    EXPECT_TRUE(statuses.contains(QStringLiteral("正在润色...")));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入"));
    ASSERT_EQ(service.plainRequests.size(), 1);
    const LLMRequest request = service.plainRequests[0];
    EXPECT_EQ(request.messages[1].content, QStringLiteral("<transcript>\n嗯，那个，Qwen明天三点，不对，四点发布\n</transcript>"))
        << "the words with the user's fixes, in the tag";
    EXPECT_TRUE(request.messages[0].content.contains(QStringLiteral("British spelling")));
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0].text, QStringLiteral("Qwen明天四点发布。"));
    EXPECT_EQ(records[0].raw, QStringLiteral("嗯，那个，Qwen明天三点，不对，四点发布"));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✅ [润色] 润色完成")).size(), 1);
}

TEST_F(Controller, WhateverTheCleanUpDoesWrongTheWordsAsHeardAreTypedAndTheStatusSaysWhy)
{
    const QString heard = QStringLiteral("明天天气怎么样");
    struct Case
    {
        QStringList answer;
        std::optional<ServiceError> error;
        QString reason;
    };
    const QList<Case> cases{
        {{QStringLiteral("明天晴，气温二十度，适合出门。")}, std::nullopt, QStringLiteral("润色结果不是原文的修改")},
        {{}, std::nullopt, QStringLiteral("润色结果为空")},
        {{QStringLiteral("What will the weather be like tomorrow?")}, std::nullopt, QStringLiteral("润色结果换了语言")},
        {{QStringLiteral("明天天气")}, ServiceError{QStringLiteral("APIError"), 500, QStringLiteral("LLM 流式请求失败 (500): x")},
         QStringLiteral("润色请求失败")},
    };
    for (const Case &c : cases) {
        desktop.pastes.clear();
        records.clear();
        service.streamError = c.error;
        cleanUp(QStringLiteral("full"), heard, c.answer);
        ASSERT_TRUE(waitUntil([this] { return idle(); }));
        ASSERT_EQ(desktop.pastes.size(), 1) << c.reason.toStdString();
        EXPECT_EQ(desktop.pastes[0].text, heard) << c.reason.toStdString();
        EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入（未润色：%1）").arg(c.reason));
        ASSERT_EQ(records.size(), 1);
        EXPECT_EQ(records[0].text, heard);
        EXPECT_TRUE(records[0].raw.isEmpty()) << "nothing else was typed";
    }
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [润色] 未采用润色结果")).size(), cases.size());
}

TEST_F(Controller, ACleanUpThatDoesNotComeInTimeOrIsCancelledWithEscNeverHoldsTheWordsBack)
{
    service.holdRequests = true;
    const QString heard = QStringLiteral("我们明天见");
    QElapsedTimer clock;
    clock.start();
    cleanUp(QStringLiteral("light"), heard, {});
    ASSERT_TRUE(waitUntil([this] { return idle(); }, 5000));
    EXPECT_GE(clock.elapsed(), DictationCleanup::timeLimit(heard).count());
    ASSERT_EQ(desktop.pastes.size(), 1);
    EXPECT_EQ(desktop.pastes[0].text, heard);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入（未润色：润色超时）"));
    ASSERT_TRUE(service.lastRequestStream);
    EXPECT_TRUE(service.lastRequestStream->hasEnded()) << "the request is given up";

    // Esc while the clean-up runs: nothing typed, the take kept as cancelled.
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return statuses.last() == QStringLiteral("正在润色..."); }));
    source.escape();
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    EXPECT_EQ(desktop.pastes.size(), 1) << "nothing more typed";
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("已取消"));
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1].ending, QLatin1String(TakeRecord::kCancelled));
    EXPECT_EQ(records[1].text, heard);
    // Esc with nothing under way does nothing.
    source.escape();
    settle(20);
    EXPECT_EQ(endings.size(), 2);
}

TEST_F(Controller, TerminalsAndTheApplicationsTheUserListedAreNeverCleanedUp)
{
    AppConfig config = settings.loadAppConfig();
    config.cleanupSkipApps = {QStringLiteral("Code")};
    settings.saveAppConfig(config);
    desktop.focusedIsTerminal = true;
    cleanUp(QStringLiteral("full"), QStringLiteral("git commit dash m fix"), {QStringLiteral("git commit -m \"fix\"")});
    ASSERT_TRUE(waitUntil([this] { return idle(); }));
    desktop.focusedIsTerminal = false;
    desktop.focusedWindow = QStringLiteral("code");
    activate(Option);
    release();
    ASSERT_TRUE(waitUntil([this] { return idle() && desktop.pastes.size() == 2; }));
    EXPECT_TRUE(service.plainRequests.isEmpty());
    EXPECT_EQ(desktop.pastes[0].text, QStringLiteral("git commit dash m fix"));
    EXPECT_EQ(desktop.pastes[1].text, QStringLiteral("git commit dash m fix"));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("文本已输入"));
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🧹 [润色] 目标窗口 editor 是终端，按原文输入")).size(), 1);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🧹 [润色] 目标应用 code 在不润色的应用之列，按原文输入")).size(), 1);
}

} // namespace

#include "ManualScheduler.h"
#include "PcmPlaybackCapture.h"
#include "RealtimeASRService.h"
#include "StandinClient.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QRegularExpression>

#include <iostream>

using TestSupport::await;
using TestSupport::settle;
using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

RealtimeASRTimings quick()
{
    RealtimeASRTimings timings;
    timings.connectTimeout = 1000ms;
    timings.finishTimeout = 500ms;
    return timings;
}

QCoro::Task<std::optional<QString>> keyNow(std::optional<QString> key)
{
    co_return key;
}

class Recognition : public StandinFixture
{
protected:
    void SetUp() override
    {
        StandinFixture::SetUp();
        apiKey = key();
        make(quick());
    }

    void TearDown() override
    {
        if (HasFailure()) // the recogniser's own account of what happened
            std::cerr << log.lines().join(QLatin1Char('\n')).toStdString() << std::endl;
    }

    void make(RealtimeASRTimings timings, std::unique_ptr<ManualScheduler> scheduler = {})
    {
        asr.reset();
        clock = scheduler.get();
        // Not a coroutine lambda: its captures would not outlive its first suspension.
        asr = std::make_unique<RealtimeASRService>([this] { return keyNow(apiKey); }, mic, server.webSocketUrl(),
                                                   timings, std::move(scheduler));
    }

    // Connects, records for the given time, stops; the final transcript.
    QString dictate(int ms)
    {
        EXPECT_TRUE(await(asr->connect(config)));
        EXPECT_TRUE(await(asr->startRecognition(config)));
        settle(ms);
        await(asr->stopRecognition());
        return asr->finalTranscript();
    }

    QList<QJsonObject> sent(const QString &kind) const { return server.recorder().recordsOfKind(kind); }
    bool logged(const QString &prefix) const { return !log.linesStartingWith(prefix).isEmpty(); }

    TestSupport::LogCapture log;
    PcmPlaybackCapture mic;
    std::optional<QString> apiKey;
    AppConfig config;
    std::unique_ptr<RealtimeASRService> asr;
    ManualScheduler *clock = nullptr; // when the recogniser's time is the test's
};

// The recogniser on a clock the test moves: its delays, time-outs and pings
// are checked to the millisecond without waiting for them. The socket and the
// stand-in still run in real time.
class RecognitionOnAClock : public Recognition
{
protected:
    void SetUp() override
    {
        Recognition::SetUp();
        make(RealtimeASRTimings{}, std::make_unique<ManualScheduler>());
    }

    // Lets the clock run in small steps, with the real event loop in between,
    // until the task has ended; fails the test after a real-time bound.
    VoidResult run(QCoro::Task<VoidResult> task)
    {
        std::optional<VoidResult> result;
        finishInto(std::move(task), &result);
        runClockUntil([&] { return result.has_value(); });
        return result.value_or(ServiceError{QStringLiteral("Test"), -1, QStringLiteral("never ended")});
    }

    void run(QCoro::Task<> task)
    {
        bool ended = false;
        [](QCoro::Task<> task, bool *ended) -> QCoro::Task<> {
            co_await std::move(task);
            *ended = true;
        }(std::move(task), &ended);
        runClockUntil([&] { return ended; });
    }

    void runClockUntil(const std::function<bool()> &done)
    {
        EXPECT_TRUE(waitUntil([&] {
            clock->elapse(10ms);
            return done();
        }, 5000)) << "did not end within 5 s of real time";
    }

    static QCoro::Task<> finishInto(QCoro::Task<VoidResult> task, std::optional<VoidResult> *result)
    {
        *result = co_await std::move(task);
    }

    void startRecording()
    {
        ASSERT_TRUE(run(asr->connect(config)));
        ASSERT_TRUE(run(asr->startRecognition(config)));
    }
};

TEST_F(Recognition, RunTaskAndFinishTaskAreSentMemberByMember)
{
    useScenario(R"({"recognition":{"sentences":["你好。"]}})");
    EXPECT_EQ(dictate(300), QStringLiteral("你好。"));
    EXPECT_TRUE(sent(QStringLiteral("task-failed")).isEmpty()) << "the stand-in accepted every frame";

    const auto texts = sent(QStringLiteral("ws-text"));
    ASSERT_EQ(texts.size(), 2);
    const QJsonObject runTask = texts[0][QStringLiteral("json")].toObject();
    const QString taskId = runTask[QStringLiteral("header")][QStringLiteral("task_id")].toString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9A-F]{32}$")).match(taskId).hasMatch()) << taskId.toStdString();
    EXPECT_EQ(runTask, Frames::recognitionRunTask(taskId));
    EXPECT_EQ(texts[1][QStringLiteral("json")].toObject(), Frames::finishTask(taskId));
    EXPECT_EQ(sent(QStringLiteral("ws-upgrade"))[0][QStringLiteral("path")].toString(), QStringLiteral("/api-ws/v1/inference/"));

    dictate(100);
    const QString second = sent(QStringLiteral("ws-text"))[2][QStringLiteral("json")][QStringLiteral("header")]
                               [QStringLiteral("task_id")].toString();
    EXPECT_NE(second, taskId) << "every run-task has a new identifier";
}

TEST_F(Recognition, AudioGoesUpOnlyAfterTheStartAndOnlyWhileRecording)
{
    asr->warmUp(config);
    ASSERT_TRUE(waitUntil([this] { return asr->isWarmedUp(); }));
    settle(400);
    EXPECT_GT(mic.framesDelivered, 2) << "the warmed engine captures";
    EXPECT_TRUE(sent(QStringLiteral("ws-binary")).isEmpty()) << "but nothing is sent before the start";

    ASSERT_TRUE(await(asr->startRecognition(config)));
    EXPECT_EQ(asr->recordingState(), RecordingState::recording());
    settle(500);
    await(asr->stopRecognition());
    const int framesSent = int(sent(QStringLiteral("ws-binary")).size());
    EXPECT_GE(framesSent, 3);
    const int finishSeq = sent(QStringLiteral("ws-text")).last()[QStringLiteral("seq")].toInt();
    for (const QJsonObject &frame : sent(QStringLiteral("ws-binary"))) {
        EXPECT_LT(frame[QStringLiteral("seq")].toInt(), finishSeq) << "no audio after finish-task";
        EXPECT_EQ(frame[QStringLiteral("size")].toInt(), 3200);
    }
    settle(300);
    EXPECT_EQ(sent(QStringLiteral("ws-binary")).size(), framesSent);
    EXPECT_FALSE(mic.isRunning());
    EXPECT_EQ(asr->audioLevel(), 0.0f);
}

TEST_F(Recognition, EverySentenceOfALongDictationIsKept)
{
    useScenario(R"({"recognition":{"sentences":["第一句。","第二句。","第三句。"],"interimResults":2,
                    "audioMsPerResult":100,"heartbeat":true}})");
    QStringList shown;
    QObject::connect(asr.get(), &RealtimeASRService::currentTranscriptChanged, [&](const QString &t) { shown << t; });
    EXPECT_EQ(dictate(1400), QStringLiteral("第一句。第二句。第三句。"));
    EXPECT_TRUE(shown.contains(QStringLiteral("第一句。第二"))) << "a finished sentence stays while the next grows";
    EXPECT_EQ(asr->currentTranscript(), QStringLiteral("第一句。第二句。第三句。"));
    EXPECT_EQ(asr->recordingState(), RecordingState::idle());
    EXPECT_FALSE(asr->isRecording());

    // The last sentence repeated in "task-finished" is not added twice.
    useScenario(R"({"recognition":{"sentences":["只有一句。"],"interimResults":0,
                    "finishedPayload":{"output":{"sentence":{"text":"只有一句。"}}}}})");
    EXPECT_EQ(dictate(300), QStringLiteral("只有一句。"));
}

TEST_F(Recognition, AFailedTaskFailsTheConnectOrEndsTheRecording)
{
    useScenario(R"({"recognition":{"fault":{"type":"task-failed","message":"Model not available"}}})");
    const VoidResult failed = await(asr->connect(config));
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), (ServiceError{QStringLiteral("ASRError"), -1, QStringLiteral("Model not available")}));
    EXPECT_EQ(asr->recordingState(), RecordingState::error(QStringLiteral("识别错误：Model not available")));

    useScenario(R"({"recognition":{"audioMsPerResult":100,"fault":{"type":"task-failed","at":"results","after":1,"message":"quota"}}})");
    const VoidResult again = await(asr->connect(config));
    ASSERT_TRUE(again) << again.error().description.toStdString();
    ASSERT_TRUE(await(asr->startRecognition(config)));
    ASSERT_TRUE(waitUntil([this] { return asr->recordingState().isError(); }));
    EXPECT_EQ(asr->recordingState().errorMessage(), QStringLiteral("识别错误：quota"));
    await(asr->stopRecognition());
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 任务未运行（started=true, finished=true），跳过")));
    EXPECT_FALSE(mic.isRunning()) << "a stop always closes the microphone";
    EXPECT_EQ(asr->recordingState(), RecordingState::idle());
    EXPECT_FALSE(asr->isRecording());
}

TEST_F(Recognition, ASilentServiceBoundsTheConnectAndTheStop)
{
    useScenario(R"({"recognition":{"fault":{"type":"never-answer"}}})");
    QElapsedTimer timer;
    timer.start();
    const VoidResult failed = await(asr->connect(config));
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().description, QStringLiteral("连接超时 - 请检查 API Key 和网络连接"));
    EXPECT_GE(timer.elapsed(), 1000);
    EXPECT_LT(timer.elapsed(), 3000);

    useScenario(R"({"recognition":{"sentences":["还没说完"],"interimResults":0,"audioMsPerResult":100,
                    "fault":{"type":"never-answer","at":"finish"}}})");
    ASSERT_TRUE(await(asr->connect(config)));
    ASSERT_TRUE(await(asr->startRecognition(config)));
    ASSERT_TRUE(waitUntil([this] { return !asr->currentTranscript().isEmpty(); }));
    timer.restart();
    await(asr->stopRecognition());
    EXPECT_GE(timer.elapsed(), 450);
    EXPECT_EQ(asr->finalTranscript(), QStringLiteral("还没说完")) << "the live transcript is the best there is";
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 等待 task-finished 超时，使用当前识别结果")));
}

TEST_F(RecognitionOnAClock, TheStopWaitsFiveSecondsForASilentService)
{
    useScenario(R"({"recognition":{"fault":{"type":"never-answer","at":"finish"}}})");
    startRecording();
    bool stopped = false;
    [](RealtimeASRService &asr, bool *stopped) -> QCoro::Task<> {
        co_await asr.stopRecognition();
        *stopped = true;
    }(*asr, &stopped);
    clock->elapse(RealtimeASRTimings{}.captureTail);
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-text")).size() == 2; })) << "finish-task went out";
    clock->elapse(4999ms);
    settle(50);
    EXPECT_FALSE(stopped) << "still waiting after 4.999 s";
    clock->elapse(1ms);
    EXPECT_TRUE(waitUntil([&] { return stopped; }));
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 等待 task-finished 超时，使用当前识别结果")));
}

TEST_F(RecognitionOnAClock, TheStopRecordsTheTailBeforeItFinishesTheTask)
{
    startRecording();
    ASSERT_TRUE(waitUntil([this] { return !sent(QStringLiteral("ws-binary")).isEmpty(); }));
    bool stopped = false;
    [](RealtimeASRService &asr, bool *stopped) -> QCoro::Task<> {
        co_await asr.stopRecognition();
        *stopped = true;
    }(*asr, &stopped);
    // The microphone goes on through the tail: what it hears still goes up.
    const qsizetype atRelease = mic.framesDelivered;
    settle(250);
    EXPECT_TRUE(mic.isRunning());
    EXPECT_GT(mic.framesDelivered, atRelease);
    EXPECT_EQ(sent(QStringLiteral("ws-text")).size(), 1) << "no finish-task during the tail";
    clock->elapse(RealtimeASRTimings{}.captureTail - 1ms);
    settle(50);
    EXPECT_EQ(sent(QStringLiteral("ws-text")).size(), 1);
    clock->elapse(1ms);
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-text")).size() == 2; }));
    EXPECT_FALSE(mic.isRunning()) << "the capture stops before finish-task goes out";
    EXPECT_EQ(sent(QStringLiteral("ws-binary")).size(), mic.framesDelivered) << "every frame heard was sent";
    runClockUntil([&] { return stopped; });
}

TEST_F(RecognitionOnAClock, ACancelledTakeSendsNothingMoreAndNeverFinishes)
{
    startRecording();
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-binary")).size() >= 2; }));
    asr->cancelRecognition();
    const qsizetype framesAtCancel = mic.framesDelivered;
    EXPECT_FALSE(mic.isRunning()) << "the microphone closes at once";
    EXPECT_FALSE(asr->isRecording());
    runClockUntil([this] { return !asr->isConnected(); });
    settle(300);
    EXPECT_EQ(mic.framesDelivered, framesAtCancel);
    EXPECT_LE(sent(QStringLiteral("ws-binary")).size(), framesAtCancel);
    EXPECT_EQ(sent(QStringLiteral("ws-text")).size(), 1) << "only run-task: the task is never finished for its text";
    EXPECT_TRUE(asr->finalTranscript().isEmpty());

    // A stop that comes after it has nothing to do, and publishes nothing.
    run(asr->stopRecognition());
    EXPECT_TRUE(asr->finalTranscript().isEmpty());
    EXPECT_EQ(sent(QStringLiteral("ws-text")).size(), 1);
}

TEST_F(RecognitionOnAClock, RunTaskGoesOutAfterThreeHundredMillisecondsAndTheConnectGivesUpAtTen)
{
    useScenario(R"({"recognition":{"fault":{"type":"never-answer"}}})");
    std::optional<VoidResult> connected;
    finishInto(asr->connect(config), &connected);
    ASSERT_TRUE(waitUntil([this] { return !sent(QStringLiteral("ws-upgrade")).isEmpty(); }));
    clock->elapse(299ms);
    settle(100);
    EXPECT_TRUE(sent(QStringLiteral("ws-text")).isEmpty()) << "nothing may be sent before the delay";
    clock->elapse(1ms);
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-text")).size() == 1; }));

    clock->elapse(9699ms);
    settle(50);
    EXPECT_FALSE(connected) << "the connect waits ten seconds in all";
    clock->elapse(1ms);
    ASSERT_TRUE(waitUntil([&] { return connected.has_value(); }));
    EXPECT_EQ(connected->error().description, QStringLiteral("连接超时 - 请检查 API Key 和网络连接"));
}

TEST_F(RecognitionOnAClock, ARunTaskDueBeforeTheHandshakeEndsGoesOutTheMomentTheSocketOpens)
{
    std::optional<VoidResult> connected;
    finishInto(asr->connect(config), &connected);
    // Due while the socket is still opening (a slow network, a busy service).
    clock->elapse(300ms);
    ASSERT_TRUE(waitUntil([&] { return connected.has_value(); })) << "the task never started";
    EXPECT_TRUE(*connected);
    EXPECT_EQ(sent(QStringLiteral("ws-text")).size(), 1);
}

TEST_F(RecognitionOnAClock, APingGoesOutEveryFifteenSecondsWhileRecordingAndNeverAfter)
{
    std::chrono::milliseconds startedAt{-1};
    QObject::connect(asr.get(), &RealtimeASRService::isRecordingChanged, [&] { startedAt = clock->now(); });
    startRecording();
    ASSERT_GE(startedAt.count(), 0);
    clock->elapse(startedAt + 14999ms - clock->now());
    settle(100);
    EXPECT_TRUE(sent(QStringLiteral("ws-ping")).isEmpty());
    clock->elapse(1ms);
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-ping")).size() == 1; }));
    // The pong comes back in real time while this clock is moved by hand:
    // give it the moment a real 15 s would.
    settle(300);
    clock->elapse(15000ms);
    ASSERT_TRUE(waitUntil([this] { return sent(QStringLiteral("ws-ping")).size() == 2; }));
    EXPECT_FALSE(logged(QStringLiteral("⚠️ [RealtimeASR] Ping 失败"))) << "the stand-in answers every ping";

    run(asr->stopRecognition());
    clock->elapse(60000ms);
    settle(100);
    EXPECT_EQ(sent(QStringLiteral("ws-ping")).size(), 2);
    EXPECT_EQ(clock->liveTimers(), 0u) << "nothing left running after the stop";
}

TEST_F(Recognition, ALateTimeOutOfASupersededConnectLeavesTheCurrentSocketAlone)
{
    make([] { auto t = quick(); t.connectTimeout = 800ms; return t; }());
    useScenario(R"({"recognition":{"fault":{"type":"never-answer"}}})");
    auto first = asr->connect(config);
    settle(400);
    useScenario(R"({"recognition":{"sentences":["第二个连接。"]}})");
    ASSERT_TRUE(await(asr->connect(config)));
    const VoidResult abandoned = await(std::move(first));
    ASSERT_FALSE(abandoned);
    EXPECT_EQ(abandoned.error(), RealtimeASRService::cancelledError()) << "the abandoned wait ends too";

    settle(900); // past the first connect's time-out
    EXPECT_TRUE(asr->isConnected());
    EXPECT_FALSE(logged(QStringLiteral("❌ [RealtimeASR] WebSocket 错误")));
    ASSERT_TRUE(await(asr->startRecognition(config)));
    settle(300);
    await(asr->stopRecognition());
    EXPECT_EQ(asr->finalTranscript(), QStringLiteral("第二个连接。"));
}

TEST_F(Recognition, WarmUpTwiceOpensOneConnectionAndAStartWaitsForIt)
{
    useScenario(R"({"recognition":{"startDelayMs":300}})");
    asr->warmUp(config);
    asr->warmUp(config);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("🔥 [RealtimeASR] 已在预热或已就绪，跳过重复预热")).size(), 1);
    ASSERT_TRUE(await(asr->startRecognition(config))) << "the start waits for the warm-up in flight";
    EXPECT_TRUE(logged(QStringLiteral("⏳ [RealtimeASR] 等待预热完成...")));
    EXPECT_TRUE(logged(QStringLiteral("⚡️ [RealtimeASR] 使用预热连接，直接开始录音")));
    EXPECT_EQ(sent(QStringLiteral("ws-upgrade")).size(), 1);
    EXPECT_EQ(mic.starts, 1);
    await(asr->stopRecognition());
}

TEST_F(Recognition, CancellingAWarmUpClosesItsConnectionAndEndsItsWait)
{
    asr->cancelWarmUp();
    EXPECT_TRUE(log.lines().isEmpty()) << "nothing to cancel, nothing logged";

    useScenario(R"({"recognition":{"startDelayMs":600}})");
    asr->warmUp(config);
    waitUntil([this] { return !sent(QStringLiteral("ws-text")).isEmpty(); });
    asr->cancelWarmUp();
    EXPECT_TRUE(logged(QStringLiteral("❌ [RealtimeASR] 取消预热...")));
    EXPECT_FALSE(asr->isWarmingUp());
    settle(800);
    EXPECT_FALSE(asr->isWarmedUp());
    EXPECT_FALSE(logged(QStringLiteral("✅ [RealtimeASR] 预热完成")));
    EXPECT_FALSE(logged(QStringLiteral("⚠️ [RealtimeASR] 预热失败")));
    EXPECT_EQ(sent(QStringLiteral("ws-close")).size() + sent(QStringLiteral("ws-disconnected")).size(), 1);
    EXPECT_FALSE(mic.isRunning());

    asr->warmUp(config); // a new press warms up afresh
    EXPECT_TRUE(waitUntil([this] { return asr->isWarmedUp(); }));
}

// What the microphone hears from the key going down, before the long press is
// recognised, is kept and sent first: nothing lost, nothing twice, in order.
TEST_F(Recognition, WhatIsHeardBeforeTheStartGoesUpFirstAndInFull)
{
    useScenario(R"({"recognition":{"startDelayMs":300}})");
    asr->warmUp(config);
    EXPECT_TRUE(waitUntil([this] { return mic.framesDelivered >= 3; }, 3000)) << "the microphone opens with the press";
    EXPECT_TRUE(sent(QStringLiteral("ws-binary")).isEmpty()) << "nothing goes up before the recording starts";
    ASSERT_TRUE(await(asr->startRecognition(config)));
    EXPECT_TRUE(logged(QStringLiteral("⏪ [RealtimeASR] 先发送按键后已录下的")));
    settle(300);
    await(asr->stopRecognition());
    const qsizetype delivered = mic.framesDelivered;
    EXPECT_TRUE(waitUntil([&] { return sent(QStringLiteral("ws-binary")).size() == delivered; }, 2000))
        << sent(QStringLiteral("ws-binary")).size() << " frames sent of " << delivered << " heard";
    EXPECT_EQ(asr->audioLevel(), 0.0f);
}

TEST_F(Recognition, APreRollLongerThanItsBoundKeepsTheNewestAndSaysSo)
{
    // A task that takes two seconds to start: only the newest 1.5 s are kept.
    RealtimeASRTimings patient = quick();
    patient.connectTimeout = 5000ms;
    make(patient);
    useScenario(R"({"recognition":{"startDelayMs":2000}})");
    asr->warmUp(config);
    ASSERT_TRUE(waitUntil([this] { return asr->isWarmedUp(); }, 5000));
    ASSERT_TRUE(await(asr->startRecognition(config)));
    const qsizetype heardBeforeStart = mic.framesDelivered;
    ASSERT_GT(heardBeforeStart, 15);
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 录音开始前的音频超过 1500 ms，只保留最近的 1500 ms")));
    settle(250);
    await(asr->stopRecognition());
    const qsizetype live = mic.framesDelivered - heardBeforeStart;
    // 100 ms buffers of 3200 bytes: fifteen fit in the bound.
    EXPECT_TRUE(waitUntil([&] { return sent(QStringLiteral("ws-binary")).size() == 15 + live; }, 2000))
        << sent(QStringLiteral("ws-binary")).size() << " sent, " << live << " live";
}

TEST_F(Recognition, ACancelledPressSendsNothingAndClosesTheMicrophone)
{
    useScenario(R"({"recognition":{"startDelayMs":300}})");
    asr->warmUp(config);
    ASSERT_TRUE(waitUntil([this] { return mic.framesDelivered >= 2; }, 3000));
    asr->cancelWarmUp();
    EXPECT_FALSE(mic.isRunning()) << "closed at once";
    settle(500);
    EXPECT_TRUE(sent(QStringLiteral("ws-binary")).isEmpty());

    // The next press starts from nothing: the cancelled audio is gone.
    const qsizetype cancelled = mic.framesDelivered;
    asr->warmUp(config);
    ASSERT_TRUE(await(asr->startRecognition(config)));
    settle(200);
    await(asr->stopRecognition());
    EXPECT_TRUE(waitUntil([&] { return sent(QStringLiteral("ws-binary")).size() == mic.framesDelivered - cancelled; }, 2000))
        << sent(QStringLiteral("ws-binary")).size() << " sent, " << mic.framesDelivered - cancelled << " heard since";
}

TEST_F(Recognition, AStartAfterAFailedWarmUpFails)
{
    useScenario(R"({"recognition":{"fault":{"type":"task-failed"}}})");
    asr->warmUp(config);
    ASSERT_TRUE(waitUntil([this] { return logged(QStringLiteral("⚠️ [RealtimeASR] 预热失败（将在正式启动时重试）：")); }));
    const VoidResult start = await(asr->startRecognition(config));
    ASSERT_FALSE(start);
    EXPECT_EQ(start.error(), (ServiceError{QStringLiteral("ConnectionError"), -1, QStringLiteral("ASR 任务未启动或已结束")}));
}

TEST_F(Recognition, AMissingKeyFailsBeforeAnyNetworkActivity)
{
    for (const std::optional<QString> &missing : {std::optional<QString>(), std::optional<QString>(QString())}) {
        apiKey = missing;
        const VoidResult result = await(asr->connect(config));
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), (ServiceError{QStringLiteral("APIKeyError"), 401, QStringLiteral("请先配置 API Key")}));
    }
    EXPECT_TRUE(server.recorder().records().isEmpty());
}

TEST_F(Recognition, KeysAreLoggedMaskedWithTheirLength)
{
    apiKey = QStringLiteral("sk-1234567890abcd");
    await(asr->connect(config));
    EXPECT_TRUE(logged(QStringLiteral("🔑 [RealtimeASR] API Key: sk-1****abcd（长度 17）")));
    for (const QString &line : log.lines())
        EXPECT_FALSE(line.contains(QStringLiteral("1234567890"))) << line.toStdString();
}

TEST_F(Recognition, ADroppedConnectionIsResumedFiveTimesKeepingAllText)
{
    useScenario(R"({"recognition":{"sentences":["甲。"],"interimResults":0,"audioMsPerResult":100,
                    "fault":{"type":"close-after","frames":2}}})");
    ASSERT_TRUE(await(asr->connect(config)));
    ASSERT_TRUE(await(asr->startRecognition(config)));
    ASSERT_TRUE(waitUntil([this] { return logged(QStringLiteral("❌ [RealtimeASR] 已达最大重连次数 (5)，放弃重连")); }, 15000));
    settle(500);
    EXPECT_EQ(sent(QStringLiteral("ws-upgrade")).size(), 6) << "the first connection and five reconnections";
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✅ [RealtimeASR] 断线重连成功，继续录音")).size(), 5);
    EXPECT_EQ(asr->currentTranscript(), QStringLiteral("甲。甲。甲。甲。甲。甲。"));
    EXPECT_EQ(asr->recordingState(), RecordingState::recording()) << "a lost connection is not an error";
    for (int i = 1; i <= 5; ++i)
        EXPECT_TRUE(logged(QStringLiteral("🔄 [RealtimeASR] 录音中断线，尝试第 %1 次重连").arg(i)));

    await(asr->stopRecognition());
    EXPECT_EQ(asr->finalTranscript(), QStringLiteral("甲。甲。甲。甲。甲。甲。"));
    EXPECT_EQ(asr->recordingState(), RecordingState::idle());
}

TEST_F(Recognition, ARefusedHandshakeIsLoudAndAClosedConnectionAfterTheStopIsQuiet)
{
    apiKey = QStringLiteral("sk-wrong-key-0000000");
    QElapsedTimer timer;
    timer.start();
    const VoidResult refused = await(asr->connect(config));
    ASSERT_FALSE(refused);
    EXPECT_LT(timer.elapsed(), 900) << "not the connect time-out";
    EXPECT_EQ(refused.error().domain, QStringLiteral("WebSocket"));
    EXPECT_TRUE(asr->recordingState().errorMessage().startsWith(QStringLiteral("连接错误：")));
    EXPECT_TRUE(logged(QStringLiteral("❌ [RealtimeASR] WebSocket 错误：domain=WebSocket code=")));

    apiKey = key();
    useScenario(R"({"recognition":{"sentences":[],"fault":{"type":"close-after","frames":2}}})");
    dictate(200);
    ASSERT_TRUE(waitUntil([this] { return logged(QStringLiteral("🔌 [RealtimeASR] 旧 WebSocket 已断开 (code=57")); }));
    EXPECT_EQ(asr->recordingState(), RecordingState::idle());
    EXPECT_FALSE(asr->isConnected());
}

TEST_F(Recognition, ADeviceChangeWhileRecordingRestartsCaptureAndOtherwiseDoesNothing)
{
    RealtimeASRTimings timings = quick();
    timings.audioRestartDelay = 600ms; // longer than a new connection takes
    make(timings);
    ASSERT_TRUE(await(asr->connect(config)));
    Q_EMIT mic.configurationChanged(); // not recording yet: ignored
    EXPECT_FALSE(logged(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更")));

    ASSERT_TRUE(await(asr->startRecognition(config)));
    const int startsBefore = mic.starts;
    Q_EMIT mic.configurationChanged();
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更，重新启动音频引擎...")));
    EXPECT_FALSE(mic.isRunning()) << "capture stops at once";
    ASSERT_TRUE(waitUntil([this] { return logged(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音")); }));
    EXPECT_EQ(mic.starts, startsBefore + 1);
    EXPECT_TRUE(mic.isRunning());
    const auto framesBefore = sent(QStringLiteral("ws-binary")).size();
    settle(300);
    EXPECT_GT(sent(QStringLiteral("ws-binary")).size(), framesBefore) << "audio flows again";

    // A burst of notifications for one change restarts capture once.
    const int startsBeforeBurst = mic.starts;
    Q_EMIT mic.configurationChanged();
    settle(200);
    Q_EMIT mic.configurationChanged();
    ASSERT_TRUE(waitUntil([this] { return mic.isRunning(); }));
    settle(800);
    EXPECT_EQ(mic.starts, startsBeforeBurst + 1);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启")).size(), 2);

    // The user stops and starts anew while a restart waits: the new recording
    // set up its own capture, the old restart must not start another.
    Q_EMIT mic.configurationChanged();
    await(asr->stopRecognition());
    ASSERT_TRUE(await(asr->connect(config)));
    ASSERT_TRUE(await(asr->startRecognition(config)));
    const int startsOfNewRecording = mic.starts;
    settle(800);
    EXPECT_EQ(mic.starts, startsOfNewRecording);
    EXPECT_TRUE(mic.isRunning());
    await(asr->stopRecognition());
}

TEST_F(RecognitionOnAClock, AnAudioSetUpThatKeepsFailingGivesUpAfterFiveAttempts)
{
    mic.failStart = ServiceError{QStringLiteral("AudioError"), -10868, QStringLiteral("无有效音频输入设备（通道=0, 采样率=0.0）")};
    ASSERT_TRUE(run(asr->connect(config)));
    const auto before = clock->now();
    const VoidResult start = run(asr->startRecognition(config));
    ASSERT_FALSE(start);
    EXPECT_EQ(start.error(), *mic.failStart);
    EXPECT_EQ(mic.starts, 5);
    EXPECT_GE(clock->now() - before, 4 * 150ms) << "four waits of 150 ms";
    EXPECT_LT(clock->now() - before, 4 * 150ms + 50ms);
    EXPECT_EQ(log.linesStartingWith(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第")).size(), 4);
    EXPECT_TRUE(logged(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第1次），150ms 后重试...")));
}

} // namespace

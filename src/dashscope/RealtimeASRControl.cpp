// The operations the mode controller drives across one key press: warm-up,
// start, stop, keep-alive and reconnection.
#include "RealtimeASRService.h"

#include "AudioCapture.h"
#include "Delay.h"
#include "Log.h"

#include <QTimer>
#include <QWebSocket>

struct RealtimeASRService::WarmUp
{
    explicit WarmUp(QObject *context) : done(context) {}
    OneShot<bool> done; // released when the warm-up has ended, either way
    bool cancelled = false;
};

void RealtimeASRService::warmUp(const AppConfig &config)
{
    if (m_warmUp || m_isWarmedUp) {
        Log::line(QStringLiteral("🔥 [RealtimeASR] 已在预热或已就绪，跳过重复预热"));
        return;
    }
    Log::line(QStringLiteral("🔥 [RealtimeASR] 开始预热..."));
    m_warmUp = std::make_shared<WarmUp>(this);
    runWarmUp(config, m_warmUp);
}

QCoro::Task<> RealtimeASRService::runWarmUp(AppConfig config, std::shared_ptr<WarmUp> warmUp)
{
    VoidResult result = co_await connect(config);
    if (result && !warmUp->cancelled)
        result = co_await setupAudioEngine();
    if (!warmUp->cancelled) {
        if (result) {
            m_isWarmedUp = true;
            Log::line(QStringLiteral("✅ [RealtimeASR] 预热完成，连接就绪"));
        } else {
            Log::line(QStringLiteral("⚠️ [RealtimeASR] 预热失败（将在正式启动时重试）：") + result.error().description);
            m_isWarmedUp = false;
            if (m_warmUp == warmUp)
                m_warmUp.reset();
        }
    }
    warmUp->done.release(bool(result));
}

void RealtimeASRService::cancelWarmUp()
{
    if (!m_warmUp && !m_isWarmedUp)
        return;
    Log::line(QStringLiteral("❌ [RealtimeASR] 取消预热..."));
    if (auto warmUp = std::exchange(m_warmUp, {}))
        warmUp->cancelled = true;
    m_isWarmedUp = false;
    abandonConnection();
    resetConnectionFlags();
}

QCoro::Task<VoidResult> RealtimeASRService::startRecognition(AppConfig config)
{
    Log::line(QStringLiteral("🎤 [RealtimeASR] 开始实时识别..."));
    if (auto warmUp = m_warmUp) {
        Log::line(QStringLiteral("⏳ [RealtimeASR] 等待预热完成..."));
        co_await warmUp->done;
        if (m_warmUp == warmUp)
            m_warmUp.reset();
    }
    if (m_isWarmedUp) {
        Log::line(QStringLiteral("⚡️ [RealtimeASR] 使用预热连接，直接开始录音"));
        m_isWarmedUp = false;
    } else {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 无预热连接，执行完整启动流程..."));
        if (!m_taskStarted || m_taskFinished)
            co_return ServiceError{QStringLiteral("ConnectionError"), -1, QStringLiteral("ASR 任务未启动或已结束")};
        if (VoidResult engine = co_await setupAudioEngine(); !engine)
            co_return engine;
    }
    if (!co_await m_audio.requestPermission())
        co_return ServiceError{QStringLiteral("PermissionError"), -1, QStringLiteral("未获得麦克风权限")};

    m_isRunning = true;
    m_isAudioStreaming = true;
    m_recordingActive = true;
    m_accumulatedTranscript.clear();
    m_segmentTranscript.clear();
    m_lastCommittedSentence.clear();
    m_reconnectAttempts = 0;
    m_currentConfig = config;
    startPingTimer();
    setRecording(true);
    setRecordingState(RecordingState::recording());
    setCurrentTranscript(QString());
    setFinalTranscript(QString());
    Log::line(QStringLiteral("✅ [RealtimeASR] 实时识别已启动"));
    co_return Ok{};
}

QCoro::Task<> RealtimeASRService::stopRecognition()
{
    Log::line(QStringLiteral("⏹️ [RealtimeASR] 停止识别..."));
    m_recordingActive = false;
    if (!m_taskStarted || m_taskFinished) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 任务未运行（started=%1, finished=%2），跳过")
                      .arg(m_taskStarted ? QStringLiteral("true") : QStringLiteral("false"),
                           m_taskFinished ? QStringLiteral("true") : QStringLiteral("false")));
        setRecording(false);
        setRecordingState(RecordingState::idle());
        co_return;
    }
    m_isRunning = false;
    m_isAudioStreaming = false;
    stopAudioEngine(); // capture stops before finish-task goes out
    m_hasResumedTaskFinished = false;
    const qint64 generation = m_connectionId;
    auto waiter = std::make_shared<OneShot<QString>>(this);
    m_taskFinishedWaiter = waiter;
    m_taskFinishedTimeout = m_scheduler.schedule(m_timings.finishTimeout, [this, generation] {
        if (generation != m_connectionId)
            return;
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 等待 task-finished 超时，使用当前识别结果"));
        resumeTaskFinishedContinuation(m_currentTranscript);
    });
    sendFinishTask();
    const QString text = co_await *waiter;

    m_taskFinishedTimeout.reset();
    m_isReconnecting = false;
    m_reconnectAttempts = 0;
    m_accumulatedTranscript.clear();
    m_segmentTranscript.clear();
    m_currentConfig.reset();
    if (!text.isEmpty()) {
        setFinalTranscript(text);
        setCurrentTranscript(text);
    }
    setRecording(false);
    setRecordingState(RecordingState::idle());
    Log::line(QStringLiteral("✅ [RealtimeASR] 识别已停止，最终结果：\"%1\"").arg(text.left(50)));
}

void RealtimeASRService::attemptReconnect(const AppConfig &config, qint64 generation)
{
    if (generation != m_connectionId)
        return;
    if (m_reconnectAttempts >= kMaxReconnectAttempts) {
        Log::line(QStringLiteral("❌ [RealtimeASR] 已达最大重连次数 (%1)，放弃重连").arg(kMaxReconnectAttempts));
        resumeConnectContinuation(ServiceError{QStringLiteral("ReconnectError"), -1, QStringLiteral("重连次数超限")});
        resumeTaskFinishedContinuation(combinedTranscript(m_segmentTranscript));
        return;
    }
    m_isReconnecting = true;
    const int attempt = ++m_reconnectAttempts;
    if (!m_segmentTranscript.isEmpty()) {
        m_accumulatedTranscript = combinedTranscript(m_segmentTranscript);
        Log::line(QStringLiteral("🔄 [RealtimeASR] 断线重连，已保存当前段：\"%1\"，累积：\"%2\"")
                      .arg(m_segmentTranscript.left(30), m_accumulatedTranscript.left(50)));
        m_segmentTranscript.clear();
    }
    const qint64 next = ++m_connectionId;
    Log::line(QStringLiteral("🔄 [RealtimeASR] 录音中断线，尝试第 %1 次重连（新 id=%2）...").arg(attempt).arg(next));
    runReconnect(config, next);
}

QCoro::Task<> RealtimeASRService::runReconnect(AppConfig config, qint64 generation)
{
    QPointer<RealtimeASRService> self(this);
    co_await delay(m_timings.reconnectDelay);
    if (!self)
        co_return;
    if (!m_recordingActive || generation != m_connectionId) {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 重连前用户已停止录音或连接已变更，放弃重连"));
        m_isReconnecting = false;
        co_return;
    }
    VoidResult result = co_await connect(config); // a new task: its flags start afresh
    if (result)
        result = co_await setupAudioEngine();
    if (result) {
        m_isAudioStreaming = true;
        m_isReconnecting = false;
        // Audio flows into the new task again while the user still records.
        m_isRunning = m_recordingActive;
        setCurrentTranscript(m_accumulatedTranscript);
        Log::line(QStringLiteral("✅ [RealtimeASR] 断线重连成功，继续录音"));
        co_return;
    }
    Log::line(QStringLiteral("❌ [RealtimeASR] 重连失败：") + result.error().description);
    m_isReconnecting = false;
    if (m_recordingActive && m_reconnectAttempts < kMaxReconnectAttempts)
        attemptReconnect(config, m_connectionId);
    else
        resumeTaskFinishedContinuation(combinedTranscript(m_segmentTranscript));
}

void RealtimeASRService::startPingTimer()
{
    m_pingTimer = std::make_unique<QTimer>();
    m_pingTimer->setTimerType(Qt::PreciseTimer);
    m_pingTimer->setInterval(m_timings.pingInterval);
    m_pingAnswered = true;
    QObject::connect(m_pingTimer.get(), &QTimer::timeout, this, [this] {
        if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
            return;
        if (!m_pingAnswered)
            Log::line(QStringLiteral("⚠️ [RealtimeASR] Ping 失败：上一次 Ping 没有收到 Pong"));
        m_pingAnswered = false;
        m_socket->ping();
    });
    m_pingTimer->start();
}

QCoro::Task<VoidResult> RealtimeASRService::setupAudioEngine()
{
    Log::line(QStringLiteral("🔧 [RealtimeASR] 设置音频引擎..."));
    constexpr int kAttempts = 5;
    for (int attempt = 1;; ++attempt) {
        VoidResult started = co_await m_audio.start();
        if (started) {
            Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已启动")
                      + (attempt >= 2 ? QStringLiteral("（第%1次尝试）").arg(attempt) : QString()));
            co_return started;
        }
        m_audio.stop();
        if (attempt >= kAttempts)
            co_return started;
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第%1次），150ms 后重试...").arg(attempt));
        co_await delay(m_timings.audioRetryDelay);
    }
}

void RealtimeASRService::stopAudioEngine()
{
    Log::line(QStringLiteral("⏹️ [RealtimeASR] 停止音频引擎..."));
    ++m_audioRestartId;
    m_pingTimer.reset();
    m_audio.stop();
    setAudioLevel(0);
}

void RealtimeASRService::handleAudioConfigurationChange()
{
    if (!m_isRunning)
        return;
    Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更，重新启动音频引擎..."));
    m_audio.stop(); // the ping timer and the level are left alone
    restartAudioEngine();
}

QCoro::Task<> RealtimeASRService::restartAudioEngine()
{
    QPointer<RealtimeASRService> self(this);
    const quint64 restart = ++m_audioRestartId;
    co_await delay(m_timings.audioRestartDelay);
    if (!self || !m_isRunning || restart != m_audioRestartId)
        co_return;
    const VoidResult restarted = co_await setupAudioEngine();
    if (restarted)
        Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 设备变更后音频引擎重启失败: ") + restarted.error().description);
}

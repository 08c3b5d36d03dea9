#include "RealtimeASRService.h"

#include "AudioCapture.h"
#include "Delay.h"
#include "Log.h"
#include "SocketErrors.h"
#include "UserText.h"

struct RealtimeASRService::WarmUp
{
    explicit WarmUp(QObject *context) : done(context) {}
    OneShot<bool> done; // released when the warm-up has ended, either way
    bool cancelled = false;
};

RealtimeASRService::RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint, Timings timings,
                                       std::unique_ptr<Scheduler> scheduler, QObject *parent)
    : SpeechRecognizer(parent)
    , m_audio(audio)
    , m_timings(timings)
    , m_scheduler(scheduler ? std::move(scheduler) : std::make_unique<QtScheduler>(this))
    , m_connection(std::make_unique<RealtimeASRConnection>(std::move(apiKey), std::move(endpoint), *m_scheduler,
                                                           m_timings))
{
    QObject::connect(m_connection.get(), &RealtimeASRConnection::isConnectedChanged, this,
                     &RealtimeASRService::isConnectedChanged);
    QObject::connect(m_connection.get(), &RealtimeASRConnection::resultReceived, this, &RealtimeASRService::onResult);
    QObject::connect(m_connection.get(), &RealtimeASRConnection::taskEnded, this, &RealtimeASRService::onTaskEnded);
    QObject::connect(m_connection.get(), &RealtimeASRConnection::taskFailed, this, [this](const QString &message) {
        setConnectionTroubled(true);
        setRecordingState(
            RecordingState::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "识别错误：%1")).arg(message)));
    });
    QObject::connect(m_connection.get(), &RealtimeASRConnection::connectionLost, this,
                     &RealtimeASRService::onConnectionLost);

    QObject::connect(&m_audio, &AudioCapture::pcmReady, this, &RealtimeASRService::onAudio);
    QObject::connect(&m_audio, &AudioCapture::levelChanged, this, [this](float level) {
        // The level shows what is being recorded, not what a warmed engine hears.
        if (m_phase == Phase::Recording && m_connection->acceptsAudio())
            setAudioLevel(level);
    });
    QObject::connect(&m_audio, &AudioCapture::configurationChanged, this,
                     &RealtimeASRService::handleAudioConfigurationChange);
}

RealtimeASRService::~RealtimeASRService()
{
    disconnect();
}

// --- A key press: warm-up, start, stop -------------------------------------

void RealtimeASRService::warmUp(const AppConfig &config)
{
    if (m_warmUp || m_isWarmedUp) {
        Log::line(QStringLiteral("🔥 [RealtimeASR] 已在预热或已就绪，跳过重复预热"));
        return;
    }
    Log::line(QStringLiteral("🔥 [RealtimeASR] 开始预热..."));
    m_keepsAudio = config.keepAudio != QLatin1String("none");
    setConnectionTroubled(false);
    m_warmUp = std::make_shared<WarmUp>(this);
    runWarmUp(config, m_warmUp);
}

QCoro::Task<> RealtimeASRService::runWarmUp(AppConfig config, std::shared_ptr<WarmUp> warmUp)
{
    // The microphone opens at once, with the connection, so that the words
    // spoken while the long press is still being recognised are kept.
    discardPreRoll();
    QCoro::Task<VoidResult> engine = setupAudioEngine();
    QCoro::Task<VoidResult> opened = m_connection->open(config);
    VoidResult result = co_await opened;
    const VoidResult engineResult = co_await engine;
    if (result && !engineResult)
        result = engineResult;
    if (!warmUp->cancelled) {
        if (result) {
            m_isWarmedUp = true;
            Log::line(QStringLiteral("✅ [RealtimeASR] 预热完成，连接就绪"));
        } else {
            Log::line(QStringLiteral("⚠️ [RealtimeASR] 预热失败（将在正式启动时重试）：") + result.error().description);
            m_isWarmedUp = false;
            if (m_warmUp == warmUp)
                m_warmUp.reset();
            if (m_keepsAudio && engineResult && m_phase == Phase::Idle) {
                // The take goes on without the service: what is said is kept.
                m_holdingAudio = true;
            } else {
                stopAudioEngine();
                discardPreRoll();
            }
        }
    } else if (!m_warmUp && !m_isWarmedUp && m_phase == Phase::Idle) {
        // Cancelled while the engine was still starting: it must not stay open.
        stopAudioEngine();
        discardPreRoll();
    }
    warmUp->done.release(bool(result));
}

void RealtimeASRService::cancelWarmUp()
{
    if (!m_warmUp && !m_isWarmedUp && !m_holdingAudio)
        return;
    Log::line(QStringLiteral("❌ [RealtimeASR] 取消预热..."));
    dropWarmUpAndRecording();
}

QCoro::Task<VoidResult> RealtimeASRService::connect(AppConfig config)
{
    if (m_phase == Phase::Recording)
        m_phase = Phase::Reconnecting; // audio waits for the new task
    // The microphone goes on through a reconnection, and while a take that
    // could not reach the service holds it: what is said meanwhile is kept.
    if (m_phase != Phase::Reconnecting && !m_holdingAudio)
        stopAudioEngine();
    co_return co_await m_connection->open(config);
}

QCoro::Task<VoidResult> RealtimeASRService::startRecognition(AppConfig config)
{
    Log::line(QStringLiteral("🎤 [RealtimeASR] 开始实时识别..."));
    const quint64 take = m_takeId;
    m_keepsAudio = config.keepAudio != QLatin1String("none");
    if (!m_holdingAudio)
        setConnectionTroubled(false);
    if (auto warmUp = m_warmUp) {
        Log::line(QStringLiteral("⏳ [RealtimeASR] 等待预热完成..."));
        co_await warmUp->done;
        if (m_warmUp == warmUp)
            m_warmUp.reset();
    }
    if (take != m_takeId)
        co_return cancelledError();
    if (m_isWarmedUp) {
        Log::line(QStringLiteral("⚡️ [RealtimeASR] 使用预热连接，直接开始录音"));
        m_isWarmedUp = false;
    } else {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 无预热连接，执行完整启动流程..."));
        if (!m_connection->taskStarted() || m_connection->taskFinished())
            co_return ServiceError{QStringLiteral("ConnectionError"), -1,
                                   UserText::of(QT_TRANSLATE_NOOP("UserText", "ASR 任务未启动或已结束"))};
        if (!m_audio.isRunning()) {
            if (VoidResult engine = co_await setupAudioEngine(); !engine)
                co_return engine;
        }
    }
    if (!co_await m_audio.requestPermission())
        co_return ServiceError{QStringLiteral("PermissionError"), -1,
                               UserText::of(QT_TRANSLATE_NOOP("UserText", "未获得麦克风权限"))};
    if (take != m_takeId) {
        stopAudioEngine(); // the engine set up meanwhile belongs to nobody
        co_return cancelledError();
    }

    m_phase = Phase::Recording;
    m_holdingAudio = false;
    sendPreRoll(true); // before any live buffer can arrive: this is one turn of the event loop
    m_transcript.reset();
    m_reconnectAttempts = 0;
    m_currentConfig = config;
    startKeepAlive();
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
    const bool recording = m_phase != Phase::Idle;
    if (recording && m_audio.isRunning() && m_timings.captureTail.count() > 0) {
        Log::line(QStringLiteral("⏳ [RealtimeASR] 松键后继续录音 %1 ms，收齐最后的语音").arg(m_timings.captureTail.count()));
        co_await delay(*m_scheduler, m_timings.captureTail);
    }
    // The unfinished last buffer goes up too (only while the task takes audio;
    // it is kept either way).
    if (m_phase != Phase::Idle)
        m_audio.finish();
    m_phase = Phase::Idle;
    m_holdingAudio = false;
    discardPreRoll();
    m_currentConfig.reset();
    stopKeepAlive();
    if (!m_connection->taskStarted() || m_connection->taskFinished()) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 任务未运行（started=%1, finished=%2），跳过")
                      .arg(m_connection->taskStarted() ? QStringLiteral("true") : QStringLiteral("false"),
                           m_connection->taskFinished() ? QStringLiteral("true") : QStringLiteral("false")));
        stopAudioEngine(); // the microphone closes with every stop
        setRecording(false);
        setRecordingState(RecordingState::idle());
        co_return;
    }
    stopAudioEngine(); // capture stops before finish-task goes out
    const std::optional<QString> finished = co_await m_connection->finish();
    // Without an end from the service the live transcript is the best there is.
    const QString text = finished.value_or(currentTranscript());

    m_reconnectAttempts = 0;
    m_transcript.reset();
    if (!text.isEmpty()) {
        setFinalTranscript(text);
        setCurrentTranscript(text);
    }
    setRecording(false);
    setRecordingState(RecordingState::idle());
    Log::line(QStringLiteral("✅ [RealtimeASR] 识别已停止，最终结果：\"%1\"").arg(text.left(50)));
}

void RealtimeASRService::cancelRecognition()
{
    Log::line(QStringLiteral("🚫 [RealtimeASR] 取消识别，丢弃本次录音"));
    ++m_takeId;
    dropWarmUpAndRecording(); // closing the socket ends the task on the service
    setRecording(false);
    setRecordingState(RecordingState::idle());
    setCurrentTranscript(QString());
    setFinalTranscript(QString());
}

void RealtimeASRService::recordWithoutService()
{
    if (m_phase != Phase::Idle || !m_keepsAudio)
        return;
    Log::line(QStringLiteral("💾 [RealtimeASR] 无法连接服务，继续录音以保留本次音频"));
    setConnectionTroubled(true);
    m_phase = Phase::Offline;
    m_holdingAudio = false;
    sendPreRoll(true);
    if (!m_audio.isRunning())
        runWithoutService(m_takeId);
}

QCoro::Task<> RealtimeASRService::runWithoutService(quint64 take)
{
    const VoidResult started = co_await setupAudioEngine();
    if (take != m_takeId || m_phase != Phase::Offline) {
        if (started && m_phase == Phase::Idle)
            stopAudioEngine(); // stopped or cancelled meanwhile
        co_return;
    }
    if (!started)
        Log::line(QStringLiteral("❌ [RealtimeASR] 音频引擎启动失败，本次音频无法保留：") + started.error().description);
}

void RealtimeASRService::dropWarmUpAndRecording()
{
    if (auto warmUp = std::exchange(m_warmUp, {}))
        warmUp->cancelled = true;
    m_isWarmedUp = false;
    abandonRecording();
}

void RealtimeASRService::abandonRecording()
{
    m_phase = Phase::Idle;
    m_holdingAudio = false;
    discardPreRoll(); // a cancelled press: what was heard is dropped, never sent
    m_reconnectAttempts = 0;
    m_transcript.reset();
    m_currentConfig.reset();
    stopKeepAlive();
    stopAudioEngine();
    m_connection->abandon();
}

void RealtimeASRService::disconnect()
{
    Log::line(QStringLiteral("🔌 [RealtimeASR] 断开连接..."));
    abandonRecording();
    m_connection->close();
}

// --- What the task reports --------------------------------------------------

void RealtimeASRService::onResult(const QString &text, bool sentenceEnd)
{
    setCurrentTranscript(m_transcript.addResult(text, sentenceEnd));
}

void RealtimeASRService::onTaskEnded(const std::optional<QString> &finalText)
{
    if (finalText && !finalText->isEmpty())
        Log::line(QStringLiteral("📝 [RealtimeASR] 最终结果：") + *finalText);
    else
        Log::line(QStringLiteral("📝 [RealtimeASR] 最终结果（当前文本）：") + m_transcript.segment());
    const QString full = m_transcript.finish(finalText);
    if (m_connection->isFinishing()) {
        m_connection->completeFinish(full);
        return;
    }
    // The service ended the task on its own.
    setFinalTranscript(full);
    setCurrentTranscript(full);
    setRecording(false);
    setRecordingState(RecordingState::idle());
}

void RealtimeASRService::onConnectionLost(const ServiceError &error)
{
    if (m_phase != Phase::Idle)
        setConnectionTroubled(true);
    if (m_phase == Phase::Recording && m_currentConfig) {
        attemptReconnect(*m_currentConfig, m_connection->generation());
        return;
    }
    m_connection->fail(error);
    if (!SocketErrors::isQuiet(error.code))
        setRecordingState(
            RecordingState::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "连接错误：%1")).arg(error.description)));
}

void RealtimeASRService::attemptReconnect(const AppConfig &config, qint64 generation)
{
    if (generation != m_connection->generation())
        return;
    if (m_reconnectAttempts >= kMaxReconnectAttempts) {
        Log::line(QStringLiteral("❌ [RealtimeASR] 已达最大重连次数 (%1)，放弃重连").arg(kMaxReconnectAttempts));
        m_connection->fail(ServiceError{QStringLiteral("ReconnectError"), -1,
                                        UserText::of(QT_TRANSLATE_NOOP("UserText", "重连次数超限"))});
        return;
    }
    m_phase = Phase::Reconnecting;
    const int attempt = ++m_reconnectAttempts;
    const QString segment = m_transcript.segment();
    if (m_transcript.commitSegment()) {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 断线重连，已保存当前段：\"%1\"，累积：\"%2\"")
                      .arg(segment.left(30), m_transcript.committed().left(50)));
    }
    Log::line(QStringLiteral("🔄 [RealtimeASR] 录音中断线，尝试第 %1 次重连（新 id=%2）...")
                  .arg(attempt)
                  .arg(generation + 1));
    runReconnect(config, generation);
}

QCoro::Task<> RealtimeASRService::runReconnect(AppConfig config, qint64 generation)
{
    co_await delay(*m_scheduler, m_timings.reconnectDelay);
    if (m_phase != Phase::Reconnecting || generation != m_connection->generation()) {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 重连前用户已停止录音或连接已变更，放弃重连"));
        if (m_phase == Phase::Reconnecting)
            m_phase = Phase::Recording; // somebody else connected: audio goes there
        co_return;
    }
    VoidResult result = co_await connect(config); // a new task: its flags start afresh
    if (result && !m_audio.isRunning())
        result = co_await setupAudioEngine();
    if (result) {
        // Audio flows into the new task again while the user still records.
        if (m_phase == Phase::Reconnecting)
            m_phase = Phase::Recording;
        setCurrentTranscript(m_transcript.transcript());
        sendPreRoll(false); // what was said while it reconnected
        Log::line(QStringLiteral("✅ [RealtimeASR] 断线重连成功，继续录音"));
        co_return;
    }
    Log::line(QStringLiteral("❌ [RealtimeASR] 重连失败：") + result.error().description);
    if (m_phase == Phase::Reconnecting && m_reconnectAttempts < kMaxReconnectAttempts)
        attemptReconnect(config, m_connection->generation());
    else
        m_connection->fail(result.error());
}

// --- Keep-alive ---------------------------------------------------------------

void RealtimeASRService::startKeepAlive()
{
    // Re-armed from a posted task, never from inside the firing timer.
    m_keepAlive = m_scheduler->schedule(m_timings.pingInterval, [this] {
        m_scheduler->post([this] {
            if (!m_keepAlive)
                return; // stopped in between
            m_connection->ping();
            startKeepAlive();
        });
    });
}

void RealtimeASRService::stopKeepAlive()
{
    m_keepAlive.reset();
}

// --- The audio engine -----------------------------------------------------------

QCoro::Task<VoidResult> RealtimeASRService::setupAudioEngine()
{
    Log::line(QStringLiteral("🔧 [RealtimeASR] 设置音频引擎..."));
    for (int attempt = 1;; ++attempt) {
        VoidResult started = co_await m_audio.start();
        if (started) {
            Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已启动")
                      + (attempt >= 2 ? QStringLiteral("（第%1次尝试）").arg(attempt) : QString()));
            co_return started;
        }
        m_audio.stop();
        if (attempt >= kAudioSetupAttempts)
            co_return started;
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第%1次），%2ms 后重试...")
                      .arg(attempt)
                      .arg(m_timings.audioRetryDelay.count()));
        co_await delay(*m_scheduler, m_timings.audioRetryDelay);
    }
}

void RealtimeASRService::stopAudioEngine()
{
    Log::line(QStringLiteral("⏹️ [RealtimeASR] 停止音频引擎..."));
    ++m_audioRestartId;
    m_audio.stop();
    setAudioLevel(0);
}

void RealtimeASRService::onAudio(const QByteArray &pcm)
{
    // Audio goes up only while recording into a running task; while a key is
    // held before that, it waits in the pre-roll.
    if (m_phase == Phase::Recording) {
        m_connection->sendAudio(pcm);
        Q_EMIT takeAudio(pcm);
        return;
    }
    if (m_phase == Phase::Offline) {
        Q_EMIT takeAudio(pcm);
        return;
    }
    if (m_phase == Phase::Reconnecting) {
        // Kept now, sent once the new task runs.
        Q_EMIT takeAudio(pcm);
    } else if (!m_warmUp && !m_isWarmedUp && !m_holdingAudio) {
        return;
    }
    if (m_preRoll.append(pcm) && !std::exchange(m_preRollTrimmed, true)) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 录音开始前的音频超过 %1 ms，只保留最近的 %1 ms")
                      .arg(kPreRollBytes / kBytesPerMs));
    }
}

void RealtimeASRService::sendPreRoll(bool keep)
{
    const QList<QByteArray> buffers = m_preRoll.take();
    m_preRollTrimmed = false;
    qsizetype bytes = 0;
    for (const QByteArray &pcm : buffers) {
        if (m_phase != Phase::Offline)
            m_connection->sendAudio(pcm);
        if (keep)
            Q_EMIT takeAudio(pcm);
        bytes += pcm.size();
    }
    if (!buffers.isEmpty())
        Log::line(QStringLiteral("⏪ [RealtimeASR] 先发送按键后已录下的 %1 ms 音频").arg(bytes / kBytesPerMs));
}

void RealtimeASRService::discardPreRoll()
{
    m_preRoll.clear();
    m_preRollTrimmed = false;
}

void RealtimeASRService::handleAudioConfigurationChange()
{
    if (m_phase != Phase::Recording)
        return;
    Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更，重新启动音频引擎..."));
    m_audio.stop(); // the keep-alive and the level are left alone
    restartAudioEngine();
}

QCoro::Task<> RealtimeASRService::restartAudioEngine()
{
    const quint64 restart = ++m_audioRestartId;
    co_await delay(*m_scheduler, m_timings.audioRestartDelay);
    if (m_phase != Phase::Recording || restart != m_audioRestartId)
        co_return;
    const VoidResult restarted = co_await setupAudioEngine();
    if (restarted)
        Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 设备变更后音频引擎重启失败: ") + restarted.error().description);
}

// --- Published state --------------------------------------------------------------

void RealtimeASRService::setRecordingState(const RecordingState &state)
{
    if (std::exchange(m_recordingState, state) != state)
        Q_EMIT recordingStateChanged(state);
}

#include "RealtimeASRService.h"

#include "AudioCapture.h"
#include "Delay.h"
#include "Log.h"
#include "SocketErrors.h"
#include "UserText.h"

RealtimeASRService::RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint, Timings timings,
                                       std::unique_ptr<Scheduler> scheduler, QObject *parent)
    : SpeechRecognizer(parent)
    , m_audio(audio)
    , m_timings(timings)
    , m_scheduler(scheduler ? std::move(scheduler) : std::make_unique<QtScheduler>(this))
    , m_connection(std::make_unique<RealtimeASRConnection>(std::move(apiKey), std::move(endpoint), *m_scheduler,
                                                           m_timings))
    , m_audioPath(audio, *m_connection, *m_scheduler, m_timings, [this] { return route(); })
    , m_reconnect(m_phase, *m_connection, m_transcript, *m_scheduler, m_timings,
                  {.reconnect = [this](AppConfig config) { return reconnect(std::move(config)); },
                   .resumed =
                       [this] {
                           setCurrentTranscript(m_transcript.transcript());
                           sendPreRoll(false); // what was said while it reconnected
                       }})
    , m_warmUp(*m_connection, m_audioPath, this,
               {.failed =
                    [this](bool engineStarted) {
                        if (m_keepsAudio && engineStarted && m_phase == Phase::Idle)
                            m_holdingAudio = true; // the take goes on without the service: what is said is kept
                        else
                            releaseMicrophone();
                    },
                // Dropped while the engine was still starting: it must not stay open.
                .dropped =
                    [this] {
                        if (m_phase == Phase::Idle)
                            releaseMicrophone();
                    }})
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

    QObject::connect(&m_audioPath, &RecognitionAudioPath::kept, this, &RealtimeASRService::takeAudio);
    QObject::connect(&m_audio, &AudioCapture::levelChanged, this, [this](float level) {
        // The level shows what is being recorded, not what a warmed engine hears.
        if (m_phase == Phase::Recording && m_connection->acceptsAudio())
            setAudioLevel(level);
    });
}

RealtimeASRService::~RealtimeASRService()
{
    disconnect();
}

void RealtimeASRService::warmUp(const AppConfig &config)
{
    if (m_warmUp.isRunning() || m_warmUp.isReady()) {
        Log::line(QStringLiteral("🔥 [RealtimeASR] 已在预热或已就绪，跳过重复预热"));
        return;
    }
    Log::line(QStringLiteral("🔥 [RealtimeASR] 开始预热..."));
    m_keepsAudio = config.keepAudio != QLatin1String("none");
    setConnectionTroubled(false);
    m_warmUp.start(config);
}

void RealtimeASRService::cancelWarmUp()
{
    if (!m_warmUp.isRunning() && !m_warmUp.isReady() && !m_holdingAudio)
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
    if (m_warmUp.isRunning()) {
        Log::line(QStringLiteral("⏳ [RealtimeASR] 等待预热完成..."));
        co_await m_warmUp.wait();
    }
    if (take != m_takeId)
        co_return cancelledError();
    if (m_warmUp.take()) {
        Log::line(QStringLiteral("⚡️ [RealtimeASR] 使用预热连接，直接开始录音"));
    } else {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 无预热连接，执行完整启动流程..."));
        if (!m_connection->taskStarted() || m_connection->taskFinished())
            co_return ServiceError{QStringLiteral("ConnectionError"), -1,
                                   UserText::of(QT_TRANSLATE_NOOP("UserText", "ASR 任务未启动或已结束"))};
        if (!m_audioPath.isRunning()) {
            if (VoidResult engine = co_await m_audioPath.start(); !engine)
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
    m_reconnect.reset();
    m_currentConfig = config;
    m_connection->startKeepAlive();
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
    if (recording && m_audioPath.isRunning() && m_timings.captureTail.count() > 0) {
        Log::line(QStringLiteral("⏳ [RealtimeASR] 松键后继续录音 %1 ms，收齐最后的语音").arg(m_timings.captureTail.count()));
        co_await delay(*m_scheduler, m_timings.captureTail);
    }
    // The unfinished last buffer goes up too (only while the task takes audio;
    // it is kept either way).
    if (m_phase != Phase::Idle)
        m_audioPath.finish();
    m_phase = Phase::Idle;
    m_holdingAudio = false;
    m_audioPath.discardHeld();
    m_currentConfig.reset();
    m_connection->stopKeepAlive();
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

    m_reconnect.reset();
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
    if (!m_audioPath.isRunning()) {
        m_audioPath.startForKeeping([this, take = m_takeId] { return take == m_takeId && m_phase == Phase::Offline; },
                                    [this] {
                                        if (m_phase == Phase::Idle)
                                            stopAudioEngine(); // stopped or cancelled meanwhile
                                    });
    }
}

void RealtimeASRService::dropWarmUpAndRecording()
{
    m_warmUp.drop();
    abandonRecording();
}

void RealtimeASRService::abandonRecording()
{
    m_phase = Phase::Idle;
    m_holdingAudio = false;
    m_audioPath.discardHeld(); // a cancelled press: what was heard is dropped, never sent
    m_reconnect.reset();
    m_transcript.reset();
    m_currentConfig.reset();
    m_connection->stopKeepAlive();
    stopAudioEngine();
    m_connection->abandon();
}

void RealtimeASRService::disconnect()
{
    Log::line(QStringLiteral("🔌 [RealtimeASR] 断开连接..."));
    abandonRecording();
    m_connection->close();
}

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
        m_reconnect.attempt(*m_currentConfig, m_connection->generation());
        return;
    }
    m_connection->fail(error);
    if (!SocketErrors::isQuiet(error.code))
        setRecordingState(
            RecordingState::error(UserText::of(QT_TRANSLATE_NOOP("UserText", "连接错误：%1")).arg(error.description)));
}

QCoro::Task<VoidResult> RealtimeASRService::reconnect(AppConfig config)
{
    VoidResult result = co_await connect(config); // a new task: its flags start afresh
    if (result && !m_audioPath.isRunning())
        result = co_await m_audioPath.start();
    co_return result;
}

void RealtimeASRService::releaseMicrophone()
{
    stopAudioEngine();
    m_audioPath.discardHeld();
}

void RealtimeASRService::stopAudioEngine()
{
    m_audioPath.stop();
    setAudioLevel(0);
}

RecognitionAudioPath::Route RealtimeASRService::route() const
{
    // Audio goes up only while recording into a running task; while a key is
    // held before that, it waits in the pre-roll.
    switch (m_phase) {
    case Phase::Recording:
        return RecognitionAudioPath::Route::Send;
    case Phase::Offline:
        return RecognitionAudioPath::Route::Keep;
    case Phase::Reconnecting:
        return RecognitionAudioPath::Route::KeepAndHold; // sent once the new task runs
    case Phase::Idle:
        break;
    }
    return m_warmUp.isRunning() || m_warmUp.isReady() || m_holdingAudio ? RecognitionAudioPath::Route::Hold
                                                       : RecognitionAudioPath::Route::Drop;
}

void RealtimeASRService::sendPreRoll(bool keep)
{
    m_audioPath.sendHeld(m_phase != Phase::Offline, keep);
}

void RealtimeASRService::setRecordingState(const RecordingState &state)
{
    if (std::exchange(m_recordingState, state) != state)
        Q_EMIT recordingStateChanged(state);
}

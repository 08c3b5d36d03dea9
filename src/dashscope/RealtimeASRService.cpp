#include "RealtimeASRService.h"

#include "DuplexProtocol.h"
#include "AudioCapture.h"
#include "Log.h"
#include "SocketErrors.h"

#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>

namespace {
QString compactText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
} // namespace

ServiceError RealtimeASRService::cancelledError()
{
    return {QStringLiteral("ConnectionError"), -999, QStringLiteral("连接已取消")};
}

RealtimeASRService::RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint, Timings timings,
                                       QObject *parent)
    : QObject(parent)
    , m_apiKey(std::move(apiKey))
    , m_audio(audio)
    , m_endpoint(std::move(endpoint))
    , m_timings(timings)
    , m_scheduler(this)
{
    QObject::connect(&m_audio, &AudioCapture::pcmReady, this, &RealtimeASRService::sendAudio);
    QObject::connect(&m_audio, &AudioCapture::levelChanged, this, [this](float level) {
        // The level shows what is being recorded, not what a warmed engine hears.
        if (m_isRunning && m_isAudioStreaming)
            setAudioLevel(level);
    });
    QObject::connect(&m_audio, &AudioCapture::configurationChanged, this, &RealtimeASRService::handleAudioConfigurationChange);
}

RealtimeASRService::~RealtimeASRService()
{
    disconnect();
}

QCoro::Task<VoidResult> RealtimeASRService::connect(AppConfig config)
{
    Q_UNUSED(config); // recognition always asks for the one realtime model
    const qint64 generation = ++m_connectionId;
    m_connectTimeout.reset();
    closeSocket();
    m_isRunning = false;
    m_isAudioStreaming = false;
    stopAudioEngine();
    resumeTaskFinishedContinuation(m_currentTranscript);
    abandonConnectWaiter();
    resetConnectionFlags();
    Log::line(QStringLiteral("🔌 [RealtimeASR] 开始连接 WebSocket (id=%1)...").arg(generation));

    const std::optional<QString> key = co_await m_apiKey();
    if (generation != m_connectionId)
        co_return cancelledError(); // superseded while the key was being read
    if (!key || key->isEmpty())
        co_return ServiceError::apiKeyMissing();
    Log::line(QStringLiteral("🔑 [RealtimeASR] API Key: %1（长度 %2）")
                  .arg(Log::maskApiKey(*key))
                  .arg(key->toStdU32String().size()));
    Log::line(QStringLiteral("🌐 [RealtimeASR] 连接地址：") + m_endpoint.toString());
    Log::line(QStringLiteral("🤖 [RealtimeASR] 使用模型：") + QLatin1String(kModel));

    auto waiter = std::make_shared<OneShot<VoidResult>>(this);
    m_connectWaiter = waiter;
    openSocket(generation, *key);
    m_runTaskDelay = m_scheduler.schedule(m_timings.runTaskDelay, [this, generation] {
        if (generation == m_connectionId)
            sendRunTask(QLatin1String(kModel));
    });
    m_connectTimeout = m_scheduler.schedule(m_timings.connectTimeout, [this, generation] {
        if (generation != m_connectionId)
            return;
        closeSocket();
        resumeConnectContinuation(
            ServiceError{QStringLiteral("ConnectionError"), -1, QStringLiteral("连接超时 - 请检查 API Key 和网络连接")});
    });
    co_return co_await *waiter;
}

void RealtimeASRService::openSocket(qint64 generation, const QString &key)
{
    if (!m_session) {
        m_session.emplace(m_endpoint);
        m_session->setTransferTimeout(30000);
    }
    // The key is read afresh for every connection: a key corrected in the
    // settings is used by the very next one.
    QNetworkRequest request = *m_session;
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    m_socket = new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this);
    QObject::connect(m_socket, &QWebSocket::textMessageReceived, this,
                     [this, generation](const QString &text) { onText(generation, text); });
    QObject::connect(m_socket, &QWebSocket::binaryMessageReceived, this,
                     [this, generation](const QByteArray &data) { onBinary(generation, data); });
    // A refused connection reports "disconnected" before its error: decide
    // once both had their turn. The first error is the one that counts (a
    // refused handshake is followed by the peer closing the socket).
    m_socketError.reset();
    auto failed = [this, generation] {
        QTimer::singleShot(0, this, [this, generation] { onSocketFailure(generation); });
    };
    QObject::connect(m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                     [this, failed](QAbstractSocket::SocketError error) {
                         if (!m_socketError)
                             m_socketError = SocketErrors::fromSocket(error, m_socket->errorString());
                         failed();
                     });
    QObject::connect(m_socket, &QWebSocket::disconnected, this, failed);
    QObject::connect(m_socket, &QWebSocket::pong, this, [this] { m_pingAnswered = true; });
    m_receiveArmed = true;
    m_socket->open(request);
}

void RealtimeASRService::closeSocket()
{
    if (!m_socket)
        return;
    // Our own close is not a failure: cut the signals first.
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_socket->close(QWebSocketProtocol::CloseCodeNormal);
    m_socket->deleteLater();
    m_socket = nullptr;
    m_receiveArmed = false;
}

void RealtimeASRService::sendRunTask(const QString &model)
{
    if (!m_socket) {
        Log::line(QStringLiteral("❌ [RealtimeASR] WebSocket 任务为空，无法发送 run-task"));
        return;
    }
    m_taskId = DuplexProtocol::makeTaskId();
    Log::line(QStringLiteral("📤 [RealtimeASR] 发送 run-task：%1, 格式：PCM, 采样率：16000Hz, heartbeat:true").arg(model));
    const QByteArray frame = DuplexProtocol::recognitionRunTaskFrame(m_taskId, model);
    if (m_socket->sendTextMessage(QString::fromUtf8(frame)) > 0)
        Log::line(QStringLiteral("✅ [RealtimeASR] run-task 发送成功"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 发送 run-task 失败：") + m_socket->errorString());
}

void RealtimeASRService::sendFinishTask()
{
    if (!m_socket || m_taskId.isEmpty()) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] WebSocket 任务为空或 taskId 为空，无法发送 finish-task"));
        resumeTaskFinishedContinuation(m_currentTranscript);
        return;
    }
    m_isAudioStreaming = false; // no audio after this point
    const QByteArray frame = DuplexProtocol::finishTaskFrame(m_taskId);
    if (m_socket->sendTextMessage(QString::fromUtf8(frame)) > 0)
        Log::line(QStringLiteral("📤 [RealtimeASR] finish-task 发送成功"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 发送 finish-task 失败：") + m_socket->errorString());
}

void RealtimeASRService::sendAudio(const QByteArray &pcm)
{
    // Audio goes up only while recording into a running task.
    if (!m_isRunning || !m_isAudioStreaming || !m_socket || !m_isConnected
        || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->sendBinaryMessage(pcm);
}

void RealtimeASRService::onText(qint64 generation, const QString &text)
{
    if (generation != m_connectionId || !m_receiveArmed)
        return;
    handleMessage(text.toUtf8());
    keepReceiving();
}

void RealtimeASRService::onBinary(qint64 generation, const QByteArray &data)
{
    if (generation != m_connectionId || !m_receiveArmed)
        return;
    Log::line(QStringLiteral("📦 [RealtimeASR] 收到二进制数据：%1 字节").arg(data.size()));
    keepReceiving();
}

void RealtimeASRService::keepReceiving()
{
    // The receive loop goes on while recording or connected; otherwise it ends.
    if (!m_isRunning && !m_isConnected)
        m_receiveArmed = false;
}

void RealtimeASRService::onSocketFailure(qint64 generation)
{
    if (generation != m_connectionId || !m_receiveArmed || !m_socket)
        return;
    m_receiveArmed = false;
    const ServiceError error = m_socketError.value_or(SocketErrors::closedByPeer(m_socket->errorString()));
    const bool quiet = SocketErrors::isQuiet(error.code);
    if (error.code == SocketErrors::kNotConnected) {
        Log::line(QStringLiteral("🔌 [RealtimeASR] 旧 WebSocket 已断开 (code=57，id=%1)").arg(generation));
    } else if (!quiet) {
        Log::line(QStringLiteral("❌ [RealtimeASR] WebSocket 错误：domain=%1 code=%2").arg(error.domain).arg(error.code));
        Log::line(QStringLiteral("❌ [RealtimeASR] 错误描述：") + error.description);
    }
    setConnected(false);
    if (m_isRunning && !m_isReconnecting && m_currentConfig) {
        attemptReconnect(*m_currentConfig, generation);
        return;
    }
    resumeConnectContinuation(error);
    resumeTaskFinishedContinuation(m_currentTranscript);
    if (!quiet)
        setRecordingState(RecordingState::error(QStringLiteral("连接错误：") + error.description));
}

void RealtimeASRService::handleMessage(const QByteArray &text)
{
    const auto frame = DuplexProtocol::parse(text);
    if (!frame) {
        Log::line(QStringLiteral("❌ [RealtimeASR] 无法解析消息：") + QString::fromUtf8(text));
        return;
    }
    Log::line(QStringLiteral("📨 [RealtimeASR] 收到事件：") + frame->event);
    if (frame->header)
        Log::line(QStringLiteral("   Header: ") + compactText(*frame->header));
    const QJsonObject payload = frame->payload.value_or(QJsonObject());
    if (frame->event == QLatin1String("task-started")) {
        handleTaskStarted();
    } else if (frame->event == QLatin1String("result-generated")) {
        handleResult(payload);
    } else if (frame->event == QLatin1String("task-finished")) {
        handleTaskFinished(payload);
    } else if (frame->event == QLatin1String("task-failed")) {
        handleTaskFailed(frame->header);
    } else {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 未知事件类型：") + frame->event);
        if (frame->payload)
            Log::line(QStringLiteral("   Payload: ") + compactText(*frame->payload));
    }
}

void RealtimeASRService::handleTaskStarted()
{
    Log::line(QStringLiteral("✅ [RealtimeASR] 任务已启动"));
    m_taskStarted = true;
    m_isAudioStreaming = true;
    m_connectTimeout.reset();
    setConnected(true);
    resumeConnectContinuation(std::nullopt);
}

void RealtimeASRService::handleResult(const QJsonObject &payload)
{
    // Keep-alive results carry no text of their own.
    if (DuplexProtocol::sentenceFlag(payload, QStringLiteral("heartbeat")).value_or(false))
        return;
    if (const auto text = DuplexProtocol::sentenceText(payload)) {
        Log::line(QStringLiteral("📝 [RealtimeASR] 识别结果：") + *text);
        if (DuplexProtocol::sentenceFlag(payload, QStringLiteral("sentence_end")).value_or(false)) {
            // A finished sentence is kept; the next result starts a new one.
            m_accumulatedTranscript = combinedTranscript(*text);
            m_lastCommittedSentence = *text;
            m_segmentTranscript.clear();
        } else {
            m_segmentTranscript = *text;
        }
        setCurrentTranscript(combinedTranscript(m_segmentTranscript));
    }
    if (const auto duration = DuplexProtocol::billedDuration(payload))
        Log::line(QStringLiteral("⏱️ [RealtimeASR] 任务计费时长（秒）：%1").arg(*duration));
}

void RealtimeASRService::handleTaskFinished(const QJsonObject &payload)
{
    Log::line(QStringLiteral("✅ [RealtimeASR] 任务完成"));
    m_taskFinished = true;
    m_isAudioStreaming = false;
    QString last;
    const auto text = DuplexProtocol::sentenceText(payload);
    if (text && !text->isEmpty()) {
        Log::line(QStringLiteral("📝 [RealtimeASR] 最终结果：") + *text);
        // The sentence may be the one already kept at its end.
        const bool alreadyKept = m_segmentTranscript.isEmpty() && *text == m_lastCommittedSentence;
        last = alreadyKept ? QString() : *text;
    } else {
        Log::line(QStringLiteral("📝 [RealtimeASR] 最终结果（当前文本）：") + m_segmentTranscript);
        last = m_segmentTranscript;
    }
    const QString full = combinedTranscript(last);
    if (m_taskFinishedWaiter) {
        resumeTaskFinishedContinuation(full);
        return;
    }
    setFinalTranscript(full);
    setCurrentTranscript(full);
    setRecording(false);
    setRecordingState(RecordingState::idle());
}

void RealtimeASRService::handleTaskFailed(const std::optional<QJsonObject> &header)
{
    const QString message = DuplexProtocol::errorMessage(header);
    Log::line(QStringLiteral("❌ [RealtimeASR] 任务失败：") + message);
    m_taskFinished = true;
    resumeConnectContinuation(ServiceError{QStringLiteral("ASRError"), -1, message});
    resumeTaskFinishedContinuation(m_currentTranscript);
    setRecordingState(RecordingState::error(QStringLiteral("识别错误：") + message));
}

QString RealtimeASRService::combinedTranscript(const QString &segment) const
{
    if (m_accumulatedTranscript.isEmpty())
        return segment;
    if (segment.isEmpty())
        return m_accumulatedTranscript;
    return m_accumulatedTranscript + segment;
}

void RealtimeASRService::resumeConnectContinuation(std::optional<ServiceError> error)
{
    if (m_hasResumedConnect || !m_connectWaiter)
        return;
    m_hasResumedConnect = true;
    auto waiter = std::exchange(m_connectWaiter, {});
    if (error)
        waiter->release(*error);
    else
        waiter->release(Ok{});
}

void RealtimeASRService::resumeTaskFinishedContinuation(const QString &text)
{
    if (m_hasResumedTaskFinished || !m_taskFinishedWaiter)
        return;
    m_hasResumedTaskFinished = true;
    m_taskFinishedTimeout.reset();
    std::exchange(m_taskFinishedWaiter, {})->release(text);
}

void RealtimeASRService::abandonConnectWaiter()
{
    // Nobody may stay suspended on a connection that is given up.
    if (auto waiter = std::exchange(m_connectWaiter, {}))
        waiter->release(cancelledError());
}

void RealtimeASRService::resetConnectionFlags()
{
    m_taskStarted = false;
    m_taskFinished = false;
    m_hasResumedConnect = false;
    m_hasResumedTaskFinished = false;
    m_taskFinishedWaiter.reset();
}

void RealtimeASRService::abandonConnection()
{
    ++m_connectionId;
    m_isRunning = false;
    m_isAudioStreaming = false;
    m_isReconnecting = false;
    m_recordingActive = false;
    m_reconnectAttempts = 0;
    m_accumulatedTranscript.clear();
    m_segmentTranscript.clear();
    m_currentConfig.reset();
    m_connectTimeout.reset();
    stopAudioEngine();
    // Both waits end here, so that no caller stays suspended on a connection
    // that is given up.
    resumeTaskFinishedContinuation(m_currentTranscript);
    abandonConnectWaiter();
    closeSocket();
    setConnected(false);
}

void RealtimeASRService::disconnect()
{
    Log::line(QStringLiteral("🔌 [RealtimeASR] 断开连接..."));
    abandonConnection();
    m_session.reset();
    m_taskId.clear();
    resetConnectionFlags();
}

void RealtimeASRService::setConnected(bool connected)
{
    if (std::exchange(m_isConnected, connected) != connected)
        Q_EMIT isConnectedChanged(connected);
}

void RealtimeASRService::setRecording(bool recording)
{
    if (std::exchange(m_isRecording, recording) != recording)
        Q_EMIT isRecordingChanged(recording);
}

void RealtimeASRService::setCurrentTranscript(const QString &text)
{
    if (std::exchange(m_currentTranscript, text) != text)
        Q_EMIT currentTranscriptChanged(text);
}

void RealtimeASRService::setFinalTranscript(const QString &text)
{
    if (std::exchange(m_finalTranscript, text) != text)
        Q_EMIT finalTranscriptChanged(text);
}

void RealtimeASRService::setRecordingState(const RecordingState &state)
{
    if (std::exchange(m_recordingState, state) != state)
        Q_EMIT recordingStateChanged(state);
}

void RealtimeASRService::setAudioLevel(float level)
{
    if (std::exchange(m_audioLevel, level) != level)
        Q_EMIT audioLevelChanged(level);
}

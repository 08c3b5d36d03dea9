#include "RealtimeASRConnection.h"

#include "DashScopeEndpoints.h"
#include "DuplexProtocol.h"
#include "Log.h"
#include "Scheduler.h"
#include "SocketErrors.h"
#include "UserText.h"
#include "RecognitionEvents.h"


ServiceError RealtimeASRConnection::cancelledError()
{
    return {QStringLiteral("ConnectionError"), -999, UserText::of(QT_TRANSLATE_NOOP("UserText", "连接已取消"))};
}

RealtimeASRConnection::RealtimeASRConnection(ApiKeyProvider apiKey, QUrl endpoint, Scheduler &scheduler,
                                             const RealtimeASRTimings &timings, QObject *parent)
    : QObject(parent)
    , m_apiKey(std::move(apiKey))
    , m_fixedEndpoint(std::move(endpoint))
    , m_scheduler(scheduler)
    , m_timings(timings)
{
}

RealtimeASRConnection::~RealtimeASRConnection()
{
    abandon();
}

QCoro::Task<VoidResult> RealtimeASRConnection::open(AppConfig config)
{
    const qint64 generation = ++m_generation;
    const QUrl endpoint = DashScopeEndpoints(m_fixedEndpoint).recognition(config);
    if (endpoint != m_endpoint)
        m_session.reset();
    m_endpoint = endpoint;
    m_options.update(config);
    m_connectTimeout.reset();
    closeSocket();
    releaseFinish(std::nullopt);
    releaseConnect(cancelledError());
    resetTask();
    Log::line(QStringLiteral("🔌 [RealtimeASR] 开始连接 WebSocket (id=%1)...").arg(generation));

    const std::optional<QString> key = co_await m_apiKey();
    if (generation != m_generation)
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
        if (generation == m_generation)
            sendRunTask();
    });
    m_connectTimeout = m_scheduler.schedule(m_timings.connectTimeout, [this, generation] {
        if (generation != m_generation)
            return;
        closeSocket();
        releaseConnect(
            ServiceError{QStringLiteral("ConnectionError"), -1,
                         UserText::of(QT_TRANSLATE_NOOP("UserText", "连接超时 - 请检查 API Key 和网络连接"))});
    });
    co_return co_await *waiter;
}

void RealtimeASRConnection::openSocket(qint64 generation, const QString &key)
{
    if (!m_session) {
        m_session.emplace(m_endpoint);
        m_session->setTransferTimeout(int(kHandshakeTimeout.count()));
    }
    // The key is read afresh for every connection: a key corrected in the
    // settings is used by the very next one.
    QNetworkRequest request = *m_session;
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    m_socket = new RecognitionSocket(request, this);
    QObject::connect(m_socket, &RecognitionSocket::textReceived, this,
                     [this, generation](const QString &text) { onText(generation, text); });
    QObject::connect(m_socket, &RecognitionSocket::binaryReceived, this,
                     [this, generation](const QByteArray &data) { onBinary(generation, data); });
    QObject::connect(m_socket, &RecognitionSocket::failed, this,
                     [this, generation](const ServiceError &error) { onSocketFailure(generation, error); });
    m_receiveArmed = true;
}

void RealtimeASRConnection::closeSocket()
{
    if (!m_socket)
        return;
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
    m_receiveArmed = false;
}

void RealtimeASRConnection::sendRunTask()
{
    if (!m_socket) {
        Log::line(QStringLiteral("❌ [RealtimeASR] WebSocket 任务为空，无法发送 run-task"));
        return;
    }
    if (!m_socket->isOpen()) {
        // A handshake slower than the delay: a frame sent now would be lost
        // and the task never start. It is sent the moment the socket opens.
        Log::line(QStringLiteral("⏳ [RealtimeASR] WebSocket 尚未连上，连上后发送 run-task"));
        m_socket->whenOpen([this] { sendRunTask(); });
        return;
    }
    m_taskId = DuplexProtocol::makeTaskId();
    const QByteArray frame = m_options.runTaskFrame(m_taskId);
    if (m_socket->sendText(frame))
        Log::line(QStringLiteral("✅ [RealtimeASR] run-task 发送成功"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 发送 run-task 失败：") + m_socket->errorString());
}

QCoro::Task<std::optional<QString>> RealtimeASRConnection::finish()
{
    const qint64 generation = m_generation;
    auto waiter = std::make_shared<OneShot<std::optional<QString>>>(this);
    m_finishWaiter = waiter;
    m_finishTimeout = m_scheduler.schedule(m_timings.finishTimeout, [this, generation] {
        if (generation != m_generation)
            return;
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 等待 task-finished 超时，使用当前识别结果"));
        releaseFinish(std::nullopt);
    });
    sendFinishTask();
    co_return co_await *waiter;
}

void RealtimeASRConnection::sendFinishTask()
{
    if (!m_socket || m_taskId.isEmpty()) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] WebSocket 任务为空或 taskId 为空，无法发送 finish-task"));
        releaseFinish(std::nullopt);
        return;
    }
    m_finishSent = true; // no audio after this point
    const QByteArray frame = DuplexProtocol::finishTaskFrame(m_taskId);
    if (m_socket->sendText(frame))
        Log::line(QStringLiteral("📤 [RealtimeASR] finish-task 发送成功"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 发送 finish-task 失败：") + m_socket->errorString());
}

void RealtimeASRConnection::completeFinish(const QString &transcript)
{
    releaseFinish(transcript);
}

void RealtimeASRConnection::sendAudio(const QByteArray &pcm)
{
    if (acceptsAudio() && m_socket && m_isConnected)
        m_socket->sendBinary(pcm);
}

void RealtimeASRConnection::ping()
{
    if (m_socket)
        m_socket->ping();
}

void RealtimeASRConnection::startKeepAlive()
{
    // Re-armed from a posted task, never from inside the firing timer.
    m_keepAlive = m_scheduler.schedule(m_timings.pingInterval, [this] {
        m_scheduler.post([this] {
            if (!m_keepAlive)
                return; // stopped in between
            ping();
            startKeepAlive();
        });
    });
}

void RealtimeASRConnection::stopKeepAlive()
{
    m_keepAlive.reset();
}

void RealtimeASRConnection::onText(qint64 generation, const QString &text)
{
    if (generation != m_generation || !m_receiveArmed)
        return;
    handleMessage(text.toUtf8());
    m_receiveArmed = m_isConnected; // once the task has failed before it started, nothing more is read
}

void RealtimeASRConnection::onBinary(qint64 generation, const QByteArray &data)
{
    if (generation != m_generation || !m_receiveArmed)
        return;
    Log::line(QStringLiteral("📦 [RealtimeASR] 收到二进制数据：%1 字节").arg(data.size()));
    m_receiveArmed = m_isConnected; // once the task has failed before it started, nothing more is read
}

void RealtimeASRConnection::onSocketFailure(qint64 generation, const ServiceError &error)
{
    if (generation != m_generation || !m_receiveArmed || !m_socket)
        return;
    m_receiveArmed = false;
    if (error.code == SocketErrors::kNotConnected) {
        Log::line(QStringLiteral("🔌 [RealtimeASR] 旧 WebSocket 已断开 (code=57，id=%1)").arg(generation));
    } else if (!SocketErrors::isQuiet(error.code)) {
        Log::line(QStringLiteral("❌ [RealtimeASR] WebSocket 错误：domain=%1 code=%2").arg(error.domain).arg(error.code));
        Log::line(QStringLiteral("❌ [RealtimeASR] 错误描述：") + error.description);
    }
    setConnected(false);
    Q_EMIT connectionLost(error);
}

void RealtimeASRConnection::handleMessage(const QByteArray &text)
{
    const std::optional<RecognitionEvent> event = RecognitionEvents::read(text);
    if (!event)
        return;
    switch (event->kind) {
    case RecognitionEvent::Kind::Started:
        m_taskStarted = true;
        m_connectTimeout.reset();
        setConnected(true);
        releaseConnect(std::nullopt);
        break;
    case RecognitionEvent::Kind::Result:
        if (event->text)
            Q_EMIT resultReceived(*event->text, event->sentenceEnd);
        break;
    case RecognitionEvent::Kind::Finished:
        m_taskFinished = true;
        Q_EMIT taskEnded(event->text);
        break;
    case RecognitionEvent::Kind::Failed:
        m_taskFinished = true;
        releaseConnect(ServiceError{QStringLiteral("ASRError"), -1, event->message});
        releaseFinish(std::nullopt);
        Q_EMIT taskFailed(event->message);
        break;
    case RecognitionEvent::Kind::Other:
        break;
    }
}

void RealtimeASRConnection::releaseConnect(std::optional<ServiceError> error)
{
    auto waiter = std::exchange(m_connectWaiter, {});
    if (!waiter)
        return;
    if (error)
        waiter->release(*error);
    else
        waiter->release(Ok{});
}

void RealtimeASRConnection::releaseFinish(const std::optional<QString> &transcript)
{
    m_finishTimeout.reset();
    if (auto waiter = std::exchange(m_finishWaiter, {}))
        waiter->release(transcript);
}

void RealtimeASRConnection::fail(const ServiceError &error)
{
    releaseConnect(error);
    releaseFinish(std::nullopt);
}

void RealtimeASRConnection::resetTask()
{
    m_taskStarted = false;
    m_taskFinished = false;
    m_finishSent = false;
}

void RealtimeASRConnection::abandon()
{
    ++m_generation;
    m_connectTimeout.reset();
    // Both waits end here, so that no caller stays suspended on a connection
    // that is given up.
    releaseFinish(std::nullopt);
    releaseConnect(cancelledError());
    closeSocket();
    setConnected(false);
    resetTask();
}

void RealtimeASRConnection::close()
{
    abandon();
    m_session.reset();
    m_taskId.clear();
}

void RealtimeASRConnection::setConnected(bool connected)
{
    if (std::exchange(m_isConnected, connected) != connected)
        Q_EMIT isConnectedChanged(connected);
}

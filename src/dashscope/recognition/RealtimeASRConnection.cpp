#include "RealtimeASRConnection.h"

#include "DashScopeEndpoints.h"
#include "DuplexProtocol.h"
#include "Log.h"
#include "Scheduler.h"
#include "SocketErrors.h"
#include "UserText.h"
#include "Vocabulary.h"

#include <QJsonDocument>
#include <QTimer>
#include <QWebSocket>

namespace {
QString compactText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
} // namespace

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
    m_language = config.asrLanguage == QLatin1String("auto") ? QString() : config.asrLanguage;
    m_vocabularyId = Vocabulary::usableId(config, QLatin1String(kModel));
    // A take never waits for the words to be synced: it runs without them,
    // said once for each state they are in.
    if (const Vocabulary::Sync sync = Vocabulary::state(config, QLatin1String(kModel));
        m_vocabularyId.isEmpty() && sync != Vocabulary::Sync::NoWords) {
        const QString why = Vocabulary::describe(config, QLatin1String(kModel));
        if (std::exchange(m_vocabularyNotice, why) != why)
            Log::line(QStringLiteral("⚠️ [RealtimeASR] 热词词表不可用（%1），本次识别不使用热词").arg(why));
    } else {
        m_vocabularyNotice.clear();
    }
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
    m_pingAnswered = true;
    m_socket->open(request);
}

void RealtimeASRConnection::closeSocket()
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

void RealtimeASRConnection::sendRunTask()
{
    if (!m_socket) {
        Log::line(QStringLiteral("❌ [RealtimeASR] WebSocket 任务为空，无法发送 run-task"));
        return;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        // A handshake slower than the delay: a frame sent now would be lost
        // and the task never start. It is sent the moment the socket opens.
        Log::line(QStringLiteral("⏳ [RealtimeASR] WebSocket 尚未连上，连上后发送 run-task"));
        QObject::connect(m_socket, &QWebSocket::connected, m_socket, [this] { sendRunTask(); },
                         Qt::SingleShotConnection);
        return;
    }
    m_taskId = DuplexProtocol::makeTaskId();
    Log::line(QStringLiteral("📤 [RealtimeASR] 发送 run-task：%1, 格式：PCM, 采样率：16000Hz, heartbeat:true")
                  .arg(QLatin1String(kModel)));
    if (!m_language.isEmpty())
        Log::line(QStringLiteral("🗣️ [RealtimeASR] 识别语言：") + m_language);
    if (!m_vocabularyId.isEmpty())
        Log::line(QStringLiteral("📖 [RealtimeASR] 热词词表：") + m_vocabularyId);
    const QByteArray frame
        = DuplexProtocol::recognitionRunTaskFrame(m_taskId, QLatin1String(kModel), m_language, m_vocabularyId);
    if (m_socket->sendTextMessage(QString::fromUtf8(frame)) > 0)
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
    if (m_socket->sendTextMessage(QString::fromUtf8(frame)) > 0)
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
    if (!acceptsAudio() || !m_socket || !m_isConnected || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->sendBinaryMessage(pcm);
}

void RealtimeASRConnection::ping()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    // Qt reports no failed ping: a ping unanswered by the next one counts as failed.
    if (!m_pingAnswered)
        Log::line(QStringLiteral("⚠️ [RealtimeASR] Ping 失败：上一次 Ping 没有收到 Pong"));
    m_pingAnswered = false;
    m_socket->ping();
}

void RealtimeASRConnection::onText(qint64 generation, const QString &text)
{
    if (generation != m_generation || !m_receiveArmed)
        return;
    handleMessage(text.toUtf8());
    keepReceiving();
}

void RealtimeASRConnection::onBinary(qint64 generation, const QByteArray &data)
{
    if (generation != m_generation || !m_receiveArmed)
        return;
    Log::line(QStringLiteral("📦 [RealtimeASR] 收到二进制数据：%1 字节").arg(data.size()));
    keepReceiving();
}

void RealtimeASRConnection::keepReceiving()
{
    // Once the task has failed before it started, nothing more is read.
    if (!m_isConnected)
        m_receiveArmed = false;
}

void RealtimeASRConnection::onSocketFailure(qint64 generation)
{
    if (generation != m_generation || !m_receiveArmed || !m_socket)
        return;
    m_receiveArmed = false;
    const ServiceError error = m_socketError.value_or(SocketErrors::closedByPeer(m_socket->errorString()));
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

void RealtimeASRConnection::handleTaskStarted()
{
    Log::line(QStringLiteral("✅ [RealtimeASR] 任务已启动"));
    m_taskStarted = true;
    m_connectTimeout.reset();
    setConnected(true);
    releaseConnect(std::nullopt);
}

void RealtimeASRConnection::handleResult(const QJsonObject &payload)
{
    // Keep-alive results carry no text of their own.
    if (DuplexProtocol::sentenceFlag(payload, QStringLiteral("heartbeat")).value_or(false))
        return;
    if (const auto text = DuplexProtocol::sentenceText(payload)) {
        Log::line(QStringLiteral("📝 [RealtimeASR] 识别结果：") + *text);
        Q_EMIT resultReceived(*text,
                              DuplexProtocol::sentenceFlag(payload, QStringLiteral("sentence_end")).value_or(false));
    }
    if (const auto duration = DuplexProtocol::billedDuration(payload))
        Log::line(QStringLiteral("⏱️ [RealtimeASR] 任务计费时长（秒）：%1").arg(*duration));
}

void RealtimeASRConnection::handleTaskFinished(const QJsonObject &payload)
{
    Log::line(QStringLiteral("✅ [RealtimeASR] 任务完成"));
    m_taskFinished = true;
    Q_EMIT taskEnded(DuplexProtocol::sentenceText(payload));
}

void RealtimeASRConnection::handleTaskFailed(const std::optional<QJsonObject> &header)
{
    const QString message = DuplexProtocol::errorMessage(header);
    Log::line(QStringLiteral("❌ [RealtimeASR] 任务失败：") + message);
    m_taskFinished = true;
    releaseConnect(ServiceError{QStringLiteral("ASRError"), -1, message});
    releaseFinish(std::nullopt);
    Q_EMIT taskFailed(message);
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

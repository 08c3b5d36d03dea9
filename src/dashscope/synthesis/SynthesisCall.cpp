#include "SynthesisCall.h"

#include "DuplexProtocol.h"
#include "Log.h"
#include "SocketErrors.h"
#include "UserText.h"

#include <QJsonObject>
#include <QUuid>
#include <QWebSocket>

namespace {
// The opening handshake gives up after this long without an answer.
constexpr std::chrono::milliseconds kHandshakeTimeout{60000};
} // namespace

std::unique_ptr<QWebSocket> SynthesisCall::openSocket(const QUrl &endpoint, const QString &key)
{
    auto socket = std::make_unique<QWebSocket>();
    QNetworkRequest request(endpoint);
    request.setTransferTimeout(int(kHandshakeTimeout.count()));
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    socket->open(request);
    return socket;
}

SynthesisCall::SynthesisCall(std::unique_ptr<QWebSocket> socket, const QUrl &endpoint, const QString &key,
                             QString text, const AppConfig &config, std::chrono::milliseconds timeout,
                             std::shared_ptr<AudioStream> stream)
    : m_text(std::move(text))
    , m_taskId(QUuid::createUuid().toString(QUuid::Id128).toLower())
    , m_stream(std::move(stream))
    , m_done(this)
{
    m_runTask = DuplexProtocol::synthesisRunTaskFrame(m_taskId, config.ttsModel, config.ttsVoice);
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        complete(ServiceError{QStringLiteral("TTS"), -1, UserText::of(QT_TRANSLATE_NOOP("UserText", "TTS 合成超时"))});
    });
    m_timeout.start(timeout);

    // A connection opened ahead of time serves only while it is alive.
    const bool usable = socket && (socket->state() == QAbstractSocket::ConnectedState
                                   || socket->state() == QAbstractSocket::ConnectingState
                                   || socket->state() == QAbstractSocket::HostLookupState);
    const bool connected = usable && socket->state() == QAbstractSocket::ConnectedState;
    m_socket = usable ? std::move(socket) : openSocket(endpoint, key);
    if (usable)
        Log::line(QStringLiteral("🔌 [TTS] 使用预先建立的连接"));
    connect(m_socket.get(), &QWebSocket::binaryMessageReceived, this,
            [this](const QByteArray &data) { m_stream->append(data); });
    connect(m_socket.get(), &QWebSocket::textMessageReceived, this, &SynthesisCall::onText);
    connect(m_socket.get(), qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError error) {
                m_error = m_error.value_or(SocketErrors::fromSocket(error, m_socket->errorString()));
                QTimer::singleShot(0, this, &SynthesisCall::onClosed);
            });
    connect(m_socket.get(), &QWebSocket::disconnected, this,
            [this] { QTimer::singleShot(0, this, &SynthesisCall::onClosed); });
    if (connected)
        QTimer::singleShot(0, this, &SynthesisCall::sendRunTask);
    else
        connect(m_socket.get(), &QWebSocket::connected, this, &SynthesisCall::sendRunTask);
}

SynthesisCall::~SynthesisCall()
{
    if (m_socket)
        disconnect(m_socket.get(), nullptr, this, nullptr);
}

void SynthesisCall::sendRunTask()
{
    if (m_done.isReleased())
        return;
    if (m_socket->sendTextMessage(QString::fromUtf8(m_runTask)) <= 0)
        complete(ServiceError{QStringLiteral("WebSocket"), -1, m_socket->errorString()});
}

void SynthesisCall::onText(const QString &text)
{
    const auto frame = DuplexProtocol::parse(text.toUtf8());
    if (!frame)
        return; // not a frame of ours: ignored, collection goes on
    if (frame->event == QLatin1String("task-started")) {
        Log::line(QStringLiteral("✅ [TTS] 任务已启动，发送文本..."));
        m_socket->sendTextMessage(QString::fromUtf8(DuplexProtocol::continueTaskFrame(m_taskId, m_text)));
        m_socket->sendTextMessage(QString::fromUtf8(DuplexProtocol::finishTaskFrame(m_taskId)));
    } else if (frame->event == QLatin1String("task-finished")) {
        complete(std::nullopt);
    } else if (frame->event == QLatin1String("task-failed")) {
        // Synthesis reads its reason from the payload, not the header.
        const QJsonValue message = frame->payload.value_or(QJsonObject()).value(QStringLiteral("message"));
        complete(ServiceError{QStringLiteral("TTS"), -1,
                              message.isString() ? message.toString()
                                                 : UserText::of(QT_TRANSLATE_NOOP("UserText", "TTS 任务失败"))});
    }
}

void SynthesisCall::onClosed()
{
    // A connection that ends as connections end normally completes with the
    // audio so far; any other error fails the call.
    const ServiceError error = m_error.value_or(SocketErrors::closedByPeer(m_socket->errorString()));
    complete(SocketErrors::isQuiet(error.code) ? std::nullopt : std::optional<ServiceError>(error));
}

void SynthesisCall::complete(std::optional<ServiceError> error)
{
    if (m_done.isReleased())
        return;
    m_timeout.stop();
    disconnect(m_socket.get(), nullptr, this, nullptr);
    m_socket->close(QWebSocketProtocol::CloseCodeNormal);
    if (!error)
        Log::line(QStringLiteral("✅ [TTS] 合成完成，音频大小：%1 字节").arg(m_stream->bytes().size()));
    else
        Log::line(QStringLiteral("❌ [TTS] 合成失败：") + error->description);
    m_stream->finish(std::move(error));
    m_done.release(true);
}

#include "SpeechSynthesizer.h"

#include "DuplexProtocol.h"
#include "Log.h"
#include "OneShot.h"
#include "SocketErrors.h"

#include <QJsonObject>
#include <QTimer>
#include <QUuid>
#include <QWebSocket>

namespace {

// The opening handshake gives up after this long without an answer.
constexpr std::chrono::milliseconds kHandshakeTimeout{60000};

// One call: its connection, the audio so far and its once-only completion.
class SynthesisCall : public QObject
{
public:
    SynthesisCall(const QUrl &endpoint, const QString &key, QString text, const AppConfig &config,
                  std::chrono::milliseconds timeout)
        : m_text(std::move(text))
        , m_taskId(QUuid::createUuid().toString(QUuid::Id128).toLower())
        , m_done(this)
    {
        QObject::connect(&m_socket, &QWebSocket::binaryMessageReceived, this,
                         [this](const QByteArray &data) { m_audio += data; });
        QObject::connect(&m_socket, &QWebSocket::textMessageReceived, this, &SynthesisCall::onText);
        QObject::connect(&m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
                         [this](QAbstractSocket::SocketError error) {
                             m_error = m_error.value_or(SocketErrors::fromSocket(error, m_socket.errorString()));
                             QTimer::singleShot(0, this, &SynthesisCall::onClosed);
                         });
        QObject::connect(&m_socket, &QWebSocket::disconnected, this,
                         [this] { QTimer::singleShot(0, this, &SynthesisCall::onClosed); });
        QObject::connect(&m_socket, &QWebSocket::connected, this, &SynthesisCall::sendRunTask);
        m_timeout.setSingleShot(true);
        QObject::connect(&m_timeout, &QTimer::timeout, this,
                         [this] { complete(ServiceError{QStringLiteral("TTS"), -1, QStringLiteral("TTS 合成超时")}); });
        m_timeout.start(timeout);

        m_runTask = DuplexProtocol::synthesisRunTaskFrame(m_taskId, config.ttsModel, config.ttsVoice);
        QNetworkRequest request(endpoint);
        request.setTransferTimeout(int(kHandshakeTimeout.count()));
        request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
        m_socket.open(request);
    }

    OneShot<Result<QByteArray>> &done() { return m_done; }

private:
    void sendRunTask()
    {
        if (m_socket.sendTextMessage(QString::fromUtf8(m_runTask)) <= 0)
            complete(ServiceError{QStringLiteral("WebSocket"), -1, m_socket.errorString()});
    }

    void onText(const QString &text)
    {
        const auto frame = DuplexProtocol::parse(text.toUtf8());
        if (!frame)
            return; // not a frame of ours: ignored, collection goes on
        if (frame->event == QLatin1String("task-started")) {
            Log::line(QStringLiteral("✅ [TTS] 任务已启动，发送文本..."));
            m_socket.sendTextMessage(QString::fromUtf8(DuplexProtocol::continueTaskFrame(m_taskId, m_text)));
            m_socket.sendTextMessage(QString::fromUtf8(DuplexProtocol::finishTaskFrame(m_taskId)));
        } else if (frame->event == QLatin1String("task-finished")) {
            complete(m_audio);
        } else if (frame->event == QLatin1String("task-failed")) {
            // Synthesis reads its reason from the payload, not the header.
            const QJsonValue message = frame->payload.value_or(QJsonObject()).value(QStringLiteral("message"));
            complete(ServiceError{QStringLiteral("TTS"), -1,
                                  message.isString() ? message.toString() : QStringLiteral("TTS 任务失败")});
        }
    }

    void onClosed()
    {
        // A connection that ends as connections end normally completes with
        // the audio so far; any other error fails the call.
        const ServiceError error =
            m_error.value_or(SocketErrors::closedByPeer(m_socket.errorString()));
        if (SocketErrors::isQuiet(error.code))
            complete(m_audio);
        else
            complete(error);
    }

    void complete(Result<QByteArray> result)
    {
        if (m_done.isReleased())
            return;
        m_timeout.stop();
        QObject::disconnect(&m_socket, nullptr, this, nullptr);
        m_socket.close(QWebSocketProtocol::CloseCodeNormal);
        if (result)
            Log::line(QStringLiteral("✅ [TTS] 合成完成，音频大小：%1 字节").arg(result.value().size()));
        else
            Log::line(QStringLiteral("❌ [TTS] 合成失败：") + result.error().description);
        m_done.release(std::move(result));
    }

    QWebSocket m_socket;
    QString m_text;
    QString m_taskId;
    QByteArray m_runTask;
    QByteArray m_audio;
    QTimer m_timeout;
    std::optional<ServiceError> m_error;
    OneShot<Result<QByteArray>> m_done;
};

} // namespace

SpeechSynthesizer::SpeechSynthesizer(ApiKeyProvider apiKey, QUrl endpoint, std::chrono::milliseconds timeout,
                                     QObject *parent)
    : QObject(parent), m_apiKey(std::move(apiKey)), m_endpoint(std::move(endpoint)), m_timeout(timeout)
{
}

QCoro::Task<Result<QByteArray>> SpeechSynthesizer::synthesizeSpeech(QString text, AppConfig config)
{
    const std::optional<QString> key = co_await configuredKey(m_apiKey);
    if (!key)
        co_return ServiceError::apiKeyMissing();
    Log::line(QStringLiteral("🔊 [TTS] 开始 WebSocket 语音合成，模型：%1，语音：%2").arg(config.ttsModel, config.ttsVoice));
    auto call = std::make_unique<SynthesisCall>(m_endpoint, *key, text, config, m_timeout);
    Result<QByteArray> result = co_await call->done();
    call.release()->deleteLater(); // its socket may still be signalling
    co_return result;
}

#include "OpenAISpeechCall.h"

#include "CompatibleMode.h"
#include "Log.h"
#include "UserText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

void OpenAISpeechCall::start(QNetworkAccessManager &network, std::shared_ptr<AudioStream> stream, const QString &text,
                             const AppConfig &config, const std::optional<QString> &key,
                             std::chrono::milliseconds timeout, std::chrono::milliseconds inactivity)
{
    const std::optional<QUrl> url = CompatibleMode::endpointUrl(config.speechBaseURL, QStringLiteral("/audio/speech"));
    if (!url) {
        stream->finish(CompatibleMode::invalidUrlError(config.speechBaseURL));
        return;
    }
    Log::line(QStringLiteral("🔊 [TTS] 开始 OpenAI 兼容语音合成：%1，模型：%2，语音：%3%4")
                  .arg(url->toString(), config.speechModel, config.speechVoice,
                       key ? QString() : QStringLiteral("（此主机未保存 Key，不发送 Key）")));
    QNetworkRequest request(*url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Accept", "audio/mpeg");
    if (key)
        request.setRawHeader("Authorization", "Bearer " + key->toUtf8());
    request.setTransferTimeout(int(inactivity.count()));
    const QJsonObject body{{QStringLiteral("model"), config.speechModel},
                           {QStringLiteral("voice"), config.speechVoice},
                           {QStringLiteral("input"), text},
                           {QStringLiteral("response_format"), QStringLiteral("mp3")}};
    QNetworkReply *reply = network.post(request, QJsonDocument(body).toJson(QJsonDocument::Compact));
    new OpenAISpeechCall(reply, std::move(stream), timeout);
}

OpenAISpeechCall::OpenAISpeechCall(QNetworkReply *reply, std::shared_ptr<AudioStream> stream,
                                   std::chrono::milliseconds timeout)
    : QObject(reply), m_reply(reply), m_stream(std::move(stream))
{
    connect(reply, &QNetworkReply::readyRead, this, &OpenAISpeechCall::onData);
    connect(reply, &QNetworkReply::finished, this, &OpenAISpeechCall::onFinished);
    QTimer::singleShot(timeout, this, [this] {
        m_timedOut = true;
        m_reply->abort();
    });
}

void OpenAISpeechCall::onData()
{
    if (m_status == 0)
        m_status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // A reply ended by the time-out is closed and has nothing more to read.
    const QByteArray bytes = m_reply->isOpen() ? m_reply->readAll() : QByteArray();
    if (m_status == 200)
        m_stream->append(bytes);
    else if (m_errorBody.size() < 64 * 1024)
        m_errorBody += bytes;
}

void OpenAISpeechCall::onFinished()
{
    onData();
    if (m_timedOut) {
        m_stream->finish(ServiceError{QStringLiteral("SpeechService"), -1,
                                      UserText::of(QT_TRANSLATE_NOOP("UserText", "语音合成超时"))});
    } else if (m_status == 0) {
        m_stream->finish(CompatibleMode::networkError(m_reply->errorString(), int(m_reply->error()),
                                                      std::chrono::milliseconds(m_reply->request().transferTimeout())));
    } else if (m_status != 200) {
        const QString message = errorMessage(m_errorBody);
        Log::line(QStringLiteral("❌ [TTS] 语音服务返回 %1：%2").arg(m_status).arg(message));
        m_stream->finish(ServiceError{QStringLiteral("SpeechService"), m_status,
                                      UserText::of(QT_TRANSLATE_NOOP("UserText", "语音合成失败 (%1): %2"))
                                          .arg(m_status)
                                          .arg(message)});
    } else if (m_reply->error() != QNetworkReply::NoError) {
        m_stream->finish(CompatibleMode::networkError(m_reply->errorString(), int(m_reply->error()),
                                                      std::chrono::milliseconds(m_reply->request().transferTimeout())));
    } else {
        m_stream->finish();
    }
    m_reply->deleteLater(); // and this call with it
}

QString OpenAISpeechCall::errorMessage(const QByteArray &body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    const QString message = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
    if (!message.isEmpty())
        return message;
    const QString text = QString::fromUtf8(body).trimmed();
    return text.size() > 300 ? text.left(300) + QStringLiteral("…") : text;
}

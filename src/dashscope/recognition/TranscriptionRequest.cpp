#include "TranscriptionRequest.h"

#include "CompatibleMode.h"
#include "Log.h"
#include "UserText.h"

#include <QCoroNetworkReply>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUuid>
#include <QtEndian>

#include <memory>

namespace TranscriptionRequest {

namespace {
ServiceError failed(int status, const QString &message)
{
    return {QStringLiteral("TranscriptionService"), status,
            UserText::of(QT_TRANSLATE_NOOP("UserText", "转写失败 (%1): %2")).arg(status).arg(message)};
}

QString errorMessage(const QByteArray &body)
{
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    QString message = object.value(QStringLiteral("error")).toObject().value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = object.value(QStringLiteral("message")).toString();
    if (message.isEmpty())
        message = QString::fromUtf8(body.left(300)).simplified();
    return message;
}

void field(QByteArray &body, const QByteArray &boundary, const char *name, const QString &value)
{
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + name + "\"\r\n\r\n" + value.toUtf8()
            + "\r\n";
}
} // namespace

QByteArray wav(const QByteArray &pcm16k)
{
    QByteArray header(44, '\0');
    char *h = header.data();
    const auto u32 = [](char *at, quint32 value) { qToLittleEndian(value, at); };
    const auto u16 = [](char *at, quint16 value) { qToLittleEndian(value, at); };
    memcpy(h, "RIFF", 4);
    u32(h + 4, quint32(36 + pcm16k.size()));
    memcpy(h + 8, "WAVEfmt ", 8);
    u32(h + 16, 16);
    u16(h + 20, 1);          // PCM
    u16(h + 22, 1);          // mono
    u32(h + 24, 16000);      // samples a second
    u32(h + 28, 16000 * 2);  // bytes a second
    u16(h + 32, 2);          // bytes a frame
    u16(h + 34, 16);         // bits a sample
    memcpy(h + 36, "data", 4);
    u32(h + 40, quint32(pcm16k.size()));
    return header + pcm16k;
}

Form form(const QByteArray &wavFile, const AppConfig &config, bool stream)
{
    const QByteArray boundary = "quillwren-" + QUuid::createUuid().toString(QUuid::Id128).toLatin1();
    QByteArray body;
    field(body, boundary, "model", config.transcriptionModel);
    if (config.asrLanguage != QLatin1String("auto"))
        field(body, boundary, "language", config.asrLanguage);
    QStringList words;
    for (const HotWord &word : config.hotWords)
        words << word.text;
    if (!words.isEmpty())
        field(body, boundary, "prompt", words.join(QStringLiteral(", ")));
    field(body, boundary, "response_format", QStringLiteral("json"));
    if (stream)
        field(body, boundary, "stream", QStringLiteral("true"));
    body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"take.wav\"\r\n"
                              "Content-Type: audio/wav\r\n\r\n"
            + wavFile + "\r\n--" + boundary + "--\r\n";
    return {body, "multipart/form-data; boundary=" + boundary};
}

std::chrono::milliseconds boundFor(qint64 audioMs, std::chrono::milliseconds base)
{
    return std::chrono::milliseconds(std::min<qint64>(base.count() + std::max<qint64>(0, audioMs) / 2, 180000));
}

Result<QString> parseAnswer(int status, const QByteArray &contentType, const QByteArray &body)
{
    if (status != 200)
        return failed(status, errorMessage(body));
    if (body.size() > kMaxAnswerBytes)
        return failed(status, QStringLiteral("the answer is larger than %1 bytes").arg(kMaxAnswerBytes));
    if (contentType.toLower().startsWith("text/event-stream")) {
        QString text;
        bool done = false;
        for (const QByteArray &line : body.split('\n')) {
            const QByteArray data = line.trimmed();
            if (!data.startsWith("data:"))
                continue;
            const QJsonObject event = QJsonDocument::fromJson(data.mid(5).trimmed()).object();
            const QString type = event.value(QStringLiteral("type")).toString();
            if (type == QLatin1String("transcript.text.delta")) {
                text += event.value(QStringLiteral("delta")).toString();
            } else if (type == QLatin1String("transcript.text.done")) {
                text = event.value(QStringLiteral("text")).toString(text);
                done = true;
            }
        }
        if (!done && text.isEmpty())
            return failed(status, QStringLiteral("the event stream holds no transcript"));
        return text.trimmed();
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    const QJsonValue text = document.object().value(QStringLiteral("text"));
    if (error.error != QJsonParseError::NoError || !text.isString())
        return failed(status, QStringLiteral("the answer has no \"text\": %1").arg(QString::fromUtf8(body.left(120)).simplified()));
    return text.toString().trimmed();
}

QCoro::Task<Result<QString>> send(QNetworkAccessManager &network, QUrl url, std::optional<QString> key,
                                  QByteArray pcm16k, AppConfig config, std::chrono::milliseconds boundBase,
                                  std::function<void(QNetworkReply *)> sent)
{
    const qint64 audioMs = pcm16k.size() / 32;
    const std::chrono::milliseconds bound = boundFor(audioMs, boundBase);
    const QByteArray file = wav(pcm16k);
    bool stream = true;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Form form = TranscriptionRequest::form(file, config, stream);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, form.contentType);
        if (key)
            request.setRawHeader("Authorization", "Bearer " + key->toUtf8());
        request.setTransferTimeout(int(bound.count()));
        Log::line(QStringLiteral("📤 [转写] 发送录音（%1 ms）到 %2，模型：%3%4")
                      .arg(audioMs)
                      .arg(url.toString(), config.transcriptionModel,
                           key ? QString() : QStringLiteral("（此主机未保存 Key，不发送 Key）")));
        std::unique_ptr<QNetworkReply> reply(network.post(request, form.body));
        if (sent)
            sent(reply.get());
        co_await qCoro(reply.get()).waitForFinished(bound);
        if (!reply->isFinished()) {
            reply->abort();
            co_return ServiceError{QStringLiteral("TranscriptionService"), -1,
                                   UserText::of(QT_TRANSLATE_NOOP("UserText", "转写超时：%1 秒内没有回答"))
                                       .arg(QString::number(double(bound.count()) / 1000.0, 'g', 3))};
        }
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        // An aborted reply (a cancelled take) is closed and has nothing to read.
        const QByteArray body = reply->isOpen() ? reply->readAll() : QByteArray();
        if (status == 0)
            co_return CompatibleMode::networkError(reply->errorString(), int(reply->error()), bound);
        // A server that does not stream may refuse the member: once more without it.
        if (stream && status == 400 && body.contains("stream")) {
            stream = false;
            continue;
        }
        co_return parseAnswer(status, reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), body);
    }
    co_return failed(400, QStringLiteral("refused"));
}

} // namespace TranscriptionRequest

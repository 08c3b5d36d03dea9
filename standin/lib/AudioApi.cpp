#include "AudioApi.h"

#include "Mp3Synth.h"
#include "Multipart.h"
#include "Recorder.h"
#include "Scenario.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

namespace AudioApi {

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// An error as OpenAI-style servers write it, with the request's ID.
QByteArray error(int status, const QString &message, const QString &param, const QString &code)
{
    const QJsonObject body{{QStringLiteral("error"),
                            QJsonObject{{QStringLiteral("message"), message},
                                        {QStringLiteral("type"), QStringLiteral("invalid_request_error")},
                                        {QStringLiteral("param"), param.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(param)},
                                        {QStringLiteral("code"), code}}},
                           {QStringLiteral("request_id"), newRequestId()}};
    return httpResponse(status, "application/json", compact(body));
}

QJsonObject baseRecord(const char *kind, const HttpRequest &request, const Context &context)
{
    return {{QStringLiteral("kind"), QString::fromLatin1(kind)},
            {QStringLiteral("connection"), context.connection},
            {QStringLiteral("path"), request.path},
            {QStringLiteral("host"), request.hostName()},
            {QStringLiteral("authorization"), Recorder::maskAuthorization(request.header("authorization"))},
            {QStringLiteral("chunked"), request.header("transfer-encoding").toLower().contains("chunked")},
            {QStringLiteral("size"), request.body.size()}};
}

QByteArray finish(QJsonObject &entry, const Context &context, int status, QByteArray response)
{
    entry.insert(QStringLiteral("status"), status);
    context.recorder.record(entry);
    return response;
}

// The answer after the script's delay, unless a fault stands in for it.
void send(QTcpSocket *socket, const Context &context, const QByteArray &response)
{
    const Fault &fault = context.script.fault;
    if (fault.is("never-answer"))
        return;
    QByteArray answer = response;
    if (fault.is("http-error")) {
        const QJsonValue body = fault.options.value(QStringLiteral("body"));
        answer = httpResponse(fault.intOption("status", 500), "application/json",
                              body.isObject() ? compact(body.toObject()) : body.toString().toUtf8());
    }
    QTimer::singleShot(context.script.delayMs, socket, [socket = QPointer<QTcpSocket>(socket), answer] {
        if (socket)
            socket->write(answer);
    });
}

QByteArray transcription(const HttpRequest &request, const Context &context)
{
    QJsonObject entry = baseRecord("transcription", request, context);
    QString problem;
    const QByteArray boundary = Multipart::boundaryOf(request.header("content-type"));
    const auto parts = boundary.isEmpty() ? std::nullopt : Multipart::parse(request.body, boundary, &problem);
    const auto refuseKey = [&] {
        return finish(entry, context, 401, error(401, QStringLiteral("Incorrect API key provided."), {},
                                                 QStringLiteral("invalid_api_key")));
    };
    if (!parts && !context.authorized)
        return refuseKey();
    if (!parts) {
        const QString message = boundary.isEmpty() ? QStringLiteral("The body must be multipart/form-data with a boundary.")
                                                   : QStringLiteral("The multipart body cannot be read: ") + problem;
        return finish(entry, context, 400, error(400, message, {}, QStringLiteral("invalid_request_error")));
    }
    QJsonObject fields;
    const Multipart::Part *file = nullptr;
    for (const Multipart::Part &part : *parts) {
        if (part.name == QLatin1String("file") && !part.fileName.isEmpty())
            file = &part;
        else
            fields.insert(part.name, QString::fromUtf8(part.data));
    }
    entry.insert(QStringLiteral("fields"), fields);
    if (file) {
        entry.insert(QStringLiteral("file"), QJsonObject{{QStringLiteral("name"), file->fileName},
                                                          {QStringLiteral("bytes"), file->data.size()},
                                                          {QStringLiteral("content_type"), QString::fromUtf8(file->contentType)}});
    }
    // Refused, but recorded with what came: tests see what was sent where.
    if (!context.authorized)
        return refuseKey();
    QStringList allowed{QStringLiteral("model"), QStringLiteral("language"), QStringLiteral("prompt"),
                        QStringLiteral("response_format"), QStringLiteral("stream")};
    if (!context.strict) {
        allowed << QStringLiteral("temperature") << QStringLiteral("timestamp_granularities[]")
                << QStringLiteral("include[]") << QStringLiteral("chunking_strategy");
    }
    for (auto it = fields.constBegin(); it != fields.constEnd(); ++it) {
        if (!allowed.contains(it.key()))
            return finish(entry, context, 400, error(400, QStringLiteral("Unrecognized field: %1").arg(it.key()), it.key(),
                                                     QStringLiteral("unknown_parameter")));
    }
    if (!file)
        return finish(entry, context, 400, error(400, QStringLiteral("A file field with the audio is required."),
                                                 QStringLiteral("file"), QStringLiteral("missing_required_parameter")));
    const QString model = fields.value(QStringLiteral("model")).toString();
    if (model.isEmpty())
        return finish(entry, context, 400, error(400, QStringLiteral("The model field is required."),
                                                 QStringLiteral("model"), QStringLiteral("missing_required_parameter")));
    if (!context.script.transcriptionModels.contains(model))
        return finish(entry, context, 404, error(404, QStringLiteral("The model `%1` does not exist.").arg(model),
                                                 QStringLiteral("model"), QStringLiteral("model_not_found")));
    // This program asks for JSON always; others may leave it to the default.
    const QString format = fields.value(QStringLiteral("response_format")).toString(
        context.strict ? QString() : QStringLiteral("json"));
    if (format != QLatin1String("json") && (context.strict || (format != QLatin1String("text") && format != QLatin1String("verbose_json"))))
        return finish(entry, context, 400, error(400, QStringLiteral("response_format must be json%1").arg(
                                                          context.strict ? QString() : QStringLiteral(", text or verbose_json")),
                                                 QStringLiteral("response_format"), QStringLiteral("invalid_value")));

    const QString text = context.script.transcript.isEmpty() ? context.recognisedText : context.script.transcript;
    entry.insert(QStringLiteral("text"), text);
    if (fields.value(QStringLiteral("stream")).toString() == QLatin1String("true") && !context.script.ignoreStream) {
        QByteArray events;
        const int step = context.script.chunkChars;
        for (qsizetype i = 0; i < text.size(); i += step) {
            events += "data: " + compact({{QStringLiteral("type"), QStringLiteral("transcript.text.delta")},
                                          {QStringLiteral("delta"), text.mid(i, step)}}) + "\n\n";
        }
        events += "data: " + compact({{QStringLiteral("type"), QStringLiteral("transcript.text.done")},
                                      {QStringLiteral("text"), text}}) + "\n\n";
        return finish(entry, context, 200, httpResponse(200, "text/event-stream", events));
    }
    if (format == QLatin1String("text"))
        return finish(entry, context, 200, httpResponse(200, "text/plain; charset=utf-8", text.toUtf8()));
    QJsonObject answer{{QStringLiteral("text"), text}};
    if (format == QLatin1String("verbose_json")) {
        answer.insert(QStringLiteral("task"), QStringLiteral("transcribe"));
        answer.insert(QStringLiteral("language"), fields.value(QStringLiteral("language")).toString(QStringLiteral("zh")));
        answer.insert(QStringLiteral("segments"), QJsonArray());
    }
    return finish(entry, context, 200, httpResponse(200, "application/json", compact(answer)));
}

// The answer whole, or for a clip to stream, an empty QByteArray with *mp3 set.
QByteArray speech(const HttpRequest &request, const Context &context, QByteArray *mp3)
{
    QJsonObject entry = baseRecord("speech", request, context);
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    entry.insert(QStringLiteral("json"), body);
    if (!context.authorized)
        return finish(entry, context, 401, error(401, QStringLiteral("Incorrect API key provided."), {},
                                                 QStringLiteral("invalid_api_key")));
    QStringList allowed{QStringLiteral("model"), QStringLiteral("input"), QStringLiteral("voice"),
                        QStringLiteral("response_format")};
    if (!context.strict)
        allowed << QStringLiteral("speed") << QStringLiteral("instructions") << QStringLiteral("stream_format");
    for (const QString &name : body.keys()) {
        if (!allowed.contains(name))
            return finish(entry, context, 400, error(400, QStringLiteral("Unrecognized request argument supplied: %1").arg(name),
                                                     name, QStringLiteral("unknown_parameter")));
    }
    for (const char *name : {"model", "input", "voice"}) {
        if (!body.value(QLatin1String(name)).isString() || body.value(QLatin1String(name)).toString().isEmpty())
            return finish(entry, context, 400, error(400, QStringLiteral("%1 must be a non-empty string").arg(QLatin1String(name)),
                                                     QLatin1String(name), QStringLiteral("invalid_value")));
    }
    const QString input = body.value(QStringLiteral("input")).toString();
    if (input.size() > 4096)
        return finish(entry, context, 400, error(400, QStringLiteral("input is longer than 4096 characters"),
                                                 QStringLiteral("input"), QStringLiteral("string_above_max_length")));
    // MP3, the servers' default, is what the stand-in makes; this program names it.
    const QJsonValue format = body.value(QStringLiteral("response_format"));
    if ((context.strict && format != QJsonValue(QStringLiteral("mp3")))
        || (!format.isUndefined() && format != QJsonValue(QStringLiteral("mp3"))))
        return finish(entry, context, 400, error(400, QStringLiteral("response_format must be mp3 here"),
                                                 QStringLiteral("response_format"), QStringLiteral("invalid_value")));
    const QString model = body.value(QStringLiteral("model")).toString();
    if (!context.script.speechModels.contains(model))
        return finish(entry, context, 404, error(404, QStringLiteral("The model `%1` does not exist.").arg(model),
                                                 QStringLiteral("model"), QStringLiteral("model_not_found")));
    *mp3 = Mp3Synth::tone(input);
    entry.insert(QStringLiteral("bytes"), mp3->size());
    // When its first bytes go out (after the script's delay), for timing.
    entry.insert(QStringLiteral("epoch_ms"), double(QDateTime::currentMSecsSinceEpoch() + context.script.delayMs));
    return finish(entry, context, 200, {});
}

} // namespace

void transcribe(const HttpRequest &request, const Context &context, QTcpSocket *socket)
{
    send(socket, context, transcription(request, context));
}

void speak(const HttpRequest &request, const Context &context, QTcpSocket *socket)
{
    QByteArray mp3;
    const QByteArray refused = speech(request, context, &mp3);
    if (!refused.isEmpty() || context.script.fault.is("never-answer") || context.script.fault.is("http-error"))
        return send(socket, context, refused);
    // As the servers stream it: the head, then the clip piece by piece.
    QPointer<QTcpSocket> guarded(socket);
    const int step = context.script.chunkBytes;
    const int pieces = int((mp3.size() + step - 1) / step);
    QTimer::singleShot(context.script.delayMs, socket, [guarded] {
        if (guarded)
            guarded->write("HTTP/1.1 200 OK\r\nContent-Type: audio/mpeg\r\nTransfer-Encoding: chunked\r\n\r\n");
    });
    for (int i = 0; i <= pieces; ++i) {
        const QByteArray piece = mp3.mid(qsizetype(i) * step, step);
        QTimer::singleShot(context.script.delayMs + i * context.script.chunkDelayMs, socket, [guarded, piece] {
            if (guarded)
                guarded->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
        });
    }
}

} // namespace AudioApi

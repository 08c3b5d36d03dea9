#include "ChatExchange.h"

#include "ChatRequestValidator.h"
#include "CleanupReply.h"
#include "StandinServer.h"

#include <QDateTime>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpSocket>
#include <QTimer>
#include <QUuid>

namespace {
QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Token counts as the service reports them, estimated from characters.
QJsonObject tokenUsage(qsizetype promptChars, const QString &answer)
{
    const int prompt = int(promptChars / 3), completion = int(answer.size());
    return {{QStringLiteral("prompt_tokens"), prompt},
            {QStringLiteral("completion_tokens"), completion},
            {QStringLiteral("total_tokens"), prompt + completion}};
}
} // namespace

ChatExchange::ChatExchange(QTcpSocket *socket, StandinServer &server, int connectionId, HttpRequest request,
                           bool authorized)
    : QObject(socket)
    , m_socket(socket)
    , m_server(server)
    , m_id(connectionId)
    , m_request(std::move(request))
    , m_authorized(authorized)
    , m_completionId(QStringLiteral("chatcmpl-") + QUuid::createUuid().toString(QUuid::Id128).left(24))
    , m_created(QDateTime::currentSecsSinceEpoch())
{
}

void ChatExchange::start()
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(m_request.body, &parseError);
    QJsonObject entry{{QStringLiteral("kind"), QStringLiteral("http-request")},
                      {QStringLiteral("connection"), m_id},
                      {QStringLiteral("method"), QString::fromUtf8(m_request.method)},
                      {QStringLiteral("path"), m_request.path},
                      {QStringLiteral("host"), m_request.hostName()},
                      {QStringLiteral("size"), m_request.body.size()},
                      {QStringLiteral("headers"),
                       QJsonObject{{QStringLiteral("authorization"), Recorder::maskAuthorization(m_request.header("authorization"))},
                                   {QStringLiteral("content-type"), QString::fromUtf8(m_request.header("content-type"))},
                                   {QStringLiteral("accept"), QString::fromUtf8(m_request.header("accept"))}}}};
    if (document.isObject())
        entry.insert(QStringLiteral("json"), ChatRequestValidator::redacted(document.object()));
    m_server.recorder().record(entry);

    if (!m_authorized)
        return respondError(401, QStringLiteral("Incorrect API key provided. "), QStringLiteral("invalid_request_error"),
                            {}, QStringLiteral("invalid_api_key"));
    if (m_request.method != "POST")
        return respondError(405, QStringLiteral("Only POST is allowed here."), QStringLiteral("invalid_request_error"),
                            {}, QStringLiteral("method_not_allowed"));
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return respondError(400, QStringLiteral("The request body is not a valid JSON object."),
                            QStringLiteral("invalid_request_error"), {}, QStringLiteral("invalid_parameter_error"));

    const QJsonObject body = document.object();
    const bool streaming = body.value(QStringLiteral("stream")).toBool();
    const bool vision = ChatRequestValidator::hasImageParts(body);
    const bool strict = m_server.isStrict();
    const ChatRequestValidator::Problem problem =
        vision ? ChatRequestValidator::vision(body, strict) : ChatRequestValidator::chat(body, strict);
    if (!problem.message.isEmpty())
        return respondError(400, problem.message, QStringLiteral("invalid_request_error"), problem.param,
                            QStringLiteral("invalid_parameter_error"));

    m_model = body.value(QStringLiteral("model")).toString();
    const Scenario &scenario = m_server.scenario();
    const QStringList &models = vision ? scenario.vision.models : scenario.chat.models;
    if (!models.contains(m_model))
        return respondError(404, QStringLiteral("The model `%1` does not exist or you do not have access to it.").arg(m_model),
                            QStringLiteral("invalid_request_error"), {}, QStringLiteral("model_not_found"));
    if (vision)
        return answerVision(body, streaming);
    if (const std::optional<QString> transcript = CleanupReply::transcriptOf(body))
        return answerCleanup(body, *transcript, streaming);
    if (streaming)
        return streamAnswer(body);
    const QString question = ChatRequestValidator::lastUserText(body);
    answerWhole(m_model, scenario.chat.answerFor(question), int(m_request.body.size()));
}

bool ChatExchange::playFault(const Fault &fault)
{
    if (fault.is("never-answer"))
        return true; // the client waits until it gives up
    if (fault.is("http-error")) {
        const QJsonValue body = fault.options.value(QStringLiteral("body"));
        const QByteArray bytes = body.isObject() ? compact(body.toObject()) : body.toString().toUtf8();
        respond(fault.intOption("status", 500), bytes,
                fault.stringOption("contentType", body.isObject() ? QStringLiteral("application/json")
                                                                  : QStringLiteral("text/plain")).toUtf8());
        return true;
    }
    return false;
}

void ChatExchange::streamAnswer(const QJsonObject &body)
{
    const ChatScript script = m_server.scenario().chat;
    if (playFault(script.fault))
        return;
    streamText({script.answerFor(ChatRequestValidator::lastUserText(body)), {}, script.chunkChars,
                script.chunkDelayMs, 0, script.crlf, script.fault});
}

void ChatExchange::answerCleanup(const QJsonObject &body, const QString &transcript, bool streaming)
{
    const CleanupScript script = m_server.scenario().cleanup;
    if (script.refuseThinking && body.contains(QStringLiteral("enable_thinking")))
        return respondError(400, QStringLiteral("Unrecognized request argument supplied: enable_thinking"),
                            QStringLiteral("invalid_request_error"), QStringLiteral("enable_thinking"),
                            QStringLiteral("invalid_parameter_error"));
    if (playFault(script.fault))
        return;
    const CleanupReply::Reply reply = CleanupReply::replyFor(script, transcript);
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("cleanup")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("transcript"), transcript},
                                {QStringLiteral("behaviour"), script.behaviour},
                                {QStringLiteral("content"), reply.content}});
    if (!streaming || script.whole) {
        QTimer::singleShot(script.delayMs, this, [this, content = reply.content] {
            answerWhole(m_model, content, int(m_request.body.size()));
        });
        return;
    }
    streamText({reply.content, reply.reasoning, script.chunkChars, script.chunkDelayMs, script.delayMs, false,
                script.fault});
}

void ChatExchange::streamText(const Streamed &streamed)
{
    if (streamed.fault.is("close-after") && streamed.fault.intOption("frames", 0) == 0) {
        m_socket->abort();
        return;
    }
    m_socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/event-stream;charset=UTF-8\r\n"
                    "Cache-Control: no-cache\r\nTransfer-Encoding: chunked\r\n\r\n");

    QList<QByteArray> events;
    auto event = [](const QJsonObject &object) { return "data: " + compact(object) + "\n\n"; };
    events << event(chunk({{QStringLiteral("content"), QString()}, {QStringLiteral("role"), QStringLiteral("assistant")}},
                          QJsonValue::Null));
    if (streamed.fault.is("malformed")) {
        const QStringList lines = streamed.fault.stringsOption(
            "lines", {QStringLiteral("data: {not json"), QStringLiteral(": a comment"),
                      QStringLiteral("data:{\"no\":\"blank\"}"), QStringLiteral("event: ping")});
        for (const QString &line : lines)
            events << line.toUtf8() + "\n\n";
    }
    const int step = streamed.chunkChars;
    for (qsizetype i = 0; i < streamed.reasoning.size(); i += step) {
        events << event(chunk({{QStringLiteral("content"), QString()},
                               {QStringLiteral("reasoning_content"), streamed.reasoning.mid(i, step)}},
                              QJsonValue::Null));
    }
    for (qsizetype i = 0; i < streamed.content.size(); i += step)
        events << event(chunk({{QStringLiteral("content"), streamed.content.mid(i, step)}}, QJsonValue::Null));
    events << event(chunk({{QStringLiteral("content"), QString()}}, QStringLiteral("stop")));
    QJsonObject usage = chunk({}, QJsonValue::Null);
    usage.insert(QStringLiteral("choices"), QJsonArray());
    usage.insert(QStringLiteral("usage"), tokenUsage(m_request.body.size(), streamed.content));
    events << event(usage);
    if (!streamed.fault.is("no-done"))
        events << "data: [DONE]\n\n";

    if (streamed.crlf) {
        for (QByteArray &text : events)
            text.replace("\n", "\r\n");
    }
    int index = 0;
    for (const QByteArray &text : std::as_const(events)) {
        ++m_pendingWrites;
        // The first event (the role) at once; the rest after the start delay.
        const int at = index == 0 ? 0 : streamed.startDelayMs + index * streamed.chunkDelayMs;
        ++index;
        QTimer::singleShot(at, this, [this, text, fault = streamed.fault] {
            --m_pendingWrites;
            if (m_socket->state() != QAbstractSocket::ConnectedState)
                return;
            writeEvent(text, fault);
            if (m_pendingWrites == 0 && m_socket->state() == QAbstractSocket::ConnectedState) {
                m_socket->write("0\r\n\r\n");
                Q_EMIT done();
            }
        });
    }
}

void ChatExchange::writeEvent(const QByteArray &eventText, const Fault &fault)
{
    if (fault.is("split-packets")) {
        // Each event in small pieces, flushed apart, so that lines straddle reads.
        const int piece = std::max(1, fault.intOption("bytes", 7));
        for (qsizetype i = 0; i < eventText.size(); i += piece) {
            writeChunk(eventText.mid(i, piece));
            m_socket->flush();
            m_socket->waitForBytesWritten(50);
        }
    } else {
        writeChunk(eventText);
    }
    ++m_eventsSent;
    if (fault.is("close-after") && m_eventsSent >= fault.intOption("frames", 1)) {
        m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("fault-close")},
                                    {QStringLiteral("connection"), m_id},
                                    {QStringLiteral("events_sent"), m_eventsSent}});
        m_socket->flush();
        m_socket->abort();
    }
}

void ChatExchange::writeChunk(const QByteArray &data)
{
    m_socket->write(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
}

QJsonObject ChatExchange::chunk(const QJsonObject &delta, const QJsonValue &finishReason) const
{
    return {{QStringLiteral("choices"),
             QJsonArray{QJsonObject{{QStringLiteral("delta"), delta},
                                    {QStringLiteral("finish_reason"), finishReason},
                                    {QStringLiteral("index"), 0},
                                    {QStringLiteral("logprobs"), QJsonValue::Null}}}},
            {QStringLiteral("object"), QStringLiteral("chat.completion.chunk")},
            {QStringLiteral("usage"), QJsonValue::Null},
            {QStringLiteral("created"), m_created},
            {QStringLiteral("system_fingerprint"), QJsonValue::Null},
            {QStringLiteral("model"), m_model},
            {QStringLiteral("id"), m_completionId}};
}

void ChatExchange::answerVision(const QJsonObject &body, bool streaming)
{
    const VisionScript script = m_server.scenario().vision;
    const auto image = ChatRequestValidator::imageOf(body, m_server.isStrict());
    QJsonObject entry{{QStringLiteral("kind"), QStringLiteral("image")},
                      {QStringLiteral("connection"), m_id},
                      {QStringLiteral("base64_chars"), image.base64Chars},
                      {QStringLiteral("bytes"), image.bytes.size()},
                      {QStringLiteral("format"), image.format}};
    const bool isJpeg = image.format == QLatin1String("jpeg") && image.bytes.startsWith("\xFF\xD8\xFF");
    const bool isPng = image.format == QLatin1String("png") && image.bytes.startsWith("\x89PNG\r\n\x1a\n");
    // No WebP decoder here: its container is checked, not its picture.
    const bool isWebp = image.format == QLatin1String("webp") && image.bytes.startsWith("RIFF")
                        && image.bytes.mid(8, 4) == "WEBP";
    const QImage decoded = isJpeg || isPng ? QImage::fromData(image.bytes, isJpeg ? "JPEG" : "PNG") : QImage();
    const bool valid = isWebp || !decoded.isNull();
    entry.insert(QStringLiteral("jpeg"), isJpeg && valid);
    if (!decoded.isNull()) {
        entry.insert(QStringLiteral("width"), decoded.width());
        entry.insert(QStringLiteral("height"), decoded.height());
        // What the picture shows, roughly: tests tell a real screen from a black one.
        const QImage small = decoded.scaled(32, 32, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32);
        qint64 sums[3] = {0, 0, 0};
        for (int y = 0; y < small.height(); ++y) {
            for (int x = 0; x < small.width(); ++x) {
                const QRgb pixel = small.pixel(x, y);
                sums[0] += qRed(pixel);
                sums[1] += qGreen(pixel);
                sums[2] += qBlue(pixel);
            }
        }
        const qint64 count = qint64(small.width()) * small.height();
        entry.insert(QStringLiteral("mean_rgb"),
                     QJsonArray{int(sums[0] / count), int(sums[1] / count), int(sums[2] / count)});
    }
    m_server.recorder().record(entry);
    if (!image.problem.isEmpty() || !valid)
        return respondError(400,
                            image.problem.isEmpty()
                                ? QStringLiteral("The image is not a valid %1.").arg(image.format.toUpper())
                                : image.problem,
                            QStringLiteral("invalid_request_error"), QStringLiteral("messages"),
                            QStringLiteral("invalid_parameter_error"));
    if (playFault(script.fault))
        return;
    if (script.fault.is("close-after")) {
        m_socket->abort();
        return;
    }
    if (streaming)
        return streamText({script.reply, {}, 4, 0, script.delayMs, false, script.fault});
    QTimer::singleShot(script.delayMs, this, [this, reply = script.reply] {
        answerWhole(m_model, reply, int(m_request.body.size()));
    });
}

void ChatExchange::answerWhole(const QString &model, const QString &content, int promptChars)
{
    const QJsonObject response{
        {QStringLiteral("choices"),
         QJsonArray{QJsonObject{{QStringLiteral("message"), QJsonObject{{QStringLiteral("role"), QStringLiteral("assistant")},
                                                                        {QStringLiteral("content"), content}}},
                                {QStringLiteral("finish_reason"), QStringLiteral("stop")},
                                {QStringLiteral("index"), 0},
                                {QStringLiteral("logprobs"), QJsonValue::Null}}}},
        {QStringLiteral("object"), QStringLiteral("chat.completion")},
        {QStringLiteral("usage"), tokenUsage(promptChars, content)},
        {QStringLiteral("created"), m_created},
        {QStringLiteral("system_fingerprint"), QJsonValue::Null},
        {QStringLiteral("model"), model},
        {QStringLiteral("id"), m_completionId}};
    respond(200, compact(response));
}

void ChatExchange::respondError(int status, const QString &message, const QString &type, const QString &param,
                                const QString &code)
{
    const QJsonObject body{{QStringLiteral("error"),
                            QJsonObject{{QStringLiteral("message"), message},
                                        {QStringLiteral("type"), type},
                                        {QStringLiteral("param"), param.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(param)},
                                        {QStringLiteral("code"), code}}},
                           {QStringLiteral("request_id"), newRequestId()}};
    respond(status, compact(body));
}

void ChatExchange::respond(int status, const QByteArray &body, const QByteArray &contentType)
{
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("http-response")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("status"), status}});
    m_socket->write(httpResponse(status, contentType, body));
    Q_EMIT done();
}

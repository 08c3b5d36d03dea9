#include "HttpConnection.h"

#include "AudioApi.h"
#include "ChatExchange.h"
#include "StandinServer.h"
#include "WebSocketFrames.h"
#include "WsSession.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

HttpConnection::HttpConnection(QTcpSocket *socket, StandinServer &server)
    : QObject(&server), m_socket(socket), m_server(server), m_id(server.nextConnectionId())
{
    socket->setParent(this);
    // Answers go out as soon as they are written, as a real service's do.
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    // HTTP/1.1 servers read chunked bodies; this program's clients send a length.
    m_reader.setAcceptChunked(!server.isStrict());
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        // So that tests can tell a request a client gave up on from one left running.
        if (!m_upgraded)
            m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("http-closed")},
                                        {QStringLiteral("connection"), m_id}});
        deleteLater();
    });
    readRequests();
}

void HttpConnection::readRequests()
{
    if (m_upgraded)
        return;
    QByteArray bytes = m_socket->readAll();
    // One request at a time: the next is read once the current answer is complete.
    while (!m_exchange && !m_upgraded) {
        auto request = m_reader.feed(bytes);
        bytes.clear();
        if (!m_reader.error().isEmpty()) {
            m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("http-malformed")},
                                        {QStringLiteral("connection"), m_id},
                                        {QStringLiteral("error"), QString::fromUtf8(m_reader.error())}});
            m_socket->write(httpResponse(400, "application/json",
                                         errorJson(QStringLiteral("InvalidRequest"), QString::fromUtf8(m_reader.error()))));
            m_socket->disconnectFromHost();
            return;
        }
        if (!request)
            return;
        handle(*request);
    }
}

bool HttpConnection::authorized(const HttpRequest &request) const
{
    const Scenario &scenario = m_server.scenario();
    const QByteArray key = scenario.hostKeys.value(request.hostName(), scenario.apiKey).toUtf8();
    const QByteArray authorization = request.header("authorization");
    if (m_server.isStrict())
        return authorization == "Bearer " + key;
    // The scheme's name is case-insensitive ("bearer" from some clients).
    const qsizetype space = authorization.indexOf(' ');
    return space > 0 && authorization.left(space).toLower() == "bearer" && authorization.mid(space + 1).trimmed() == key;
}

void HttpConnection::handle(const HttpRequest &request)
{
    if (request.path.startsWith(QLatin1String("/standin/")))
        return handleControl(request);
    if (request.isWebSocketUpgrade())
        return upgrade(request);
    if (request.path.endsWith(QLatin1String("/chat/completions"))) {
        m_exchange = new ChatExchange(m_socket, m_server, m_id, request, authorized(request));
        connect(m_exchange, &ChatExchange::done, this, [this] {
            m_exchange->deleteLater();
            m_exchange = nullptr;
            // The next request on this connection, once this call has unwound.
            QTimer::singleShot(0, this, &HttpConnection::readRequests);
        });
        m_exchange->start();
        return;
    }
    const Scenario &scenario = m_server.scenario();
    // A server on the user's own machine takes requests with no key.
    const bool keyless = scenario.audio.keylessHosts.contains(request.hostName());
    const AudioApi::Context audio{scenario.audio, scenario.recognition.sentences.join(QString()), m_server.recorder(),
                                  m_id, keyless || authorized(request), m_server.isStrict()};
    if (request.path.endsWith(QLatin1String("/audio/transcriptions")) && request.method == "POST")
        return AudioApi::transcribe(request, audio, m_socket);
    if (request.path.endsWith(QLatin1String("/audio/speech")) && request.method == "POST")
        return AudioApi::speak(request, audio, m_socket);
    if (request.path.endsWith(QLatin1String("/models")) && request.method == "GET")
        return listModels(request);
    if (request.path.endsWith(QLatin1String("/services/audio/asr/customization")) && request.method == "POST")
        return customize(request);
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("http-request")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("method"), QString::fromUtf8(request.method)},
                                {QStringLiteral("path"), request.path},
                                {QStringLiteral("host"), request.hostName()},
                                {QStringLiteral("status"), 404}});
    m_socket->write(httpResponse(404, "application/json",
                                 errorJson(QStringLiteral("NotFound"), QStringLiteral("no such endpoint: ") + request.path)));
}

void HttpConnection::customize(const HttpRequest &request)
{
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    const Fault &fault = m_server.scenario().customization.fault;
    VocabularyStore::Answer answer;
    if (!authorized(request)) {
        answer = {401, {{QStringLiteral("code"), QStringLiteral("InvalidApiKey")},
                        {QStringLiteral("message"), QStringLiteral("Invalid API-key provided.")},
                        {QStringLiteral("request_id"), newRequestId()}}};
    } else if (fault.is("http-error")) {
        answer = {fault.intOption("status", 500),
                  {{QStringLiteral("code"), QStringLiteral("InternalError")},
                   {QStringLiteral("message"), fault.stringOption("message", QStringLiteral("scripted failure"))},
                   {QStringLiteral("request_id"), newRequestId()}}};
    } else {
        answer = m_server.vocabularies().handle(body, m_server.scenario().recognition.models);
        if (m_server.scenario().customization.omitId) {
            QJsonObject output = answer.body.value(QStringLiteral("output")).toObject();
            output.remove(QStringLiteral("vocabulary_id"));
            answer.body.insert(QStringLiteral("output"), output);
        }
    }
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("customization")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("path"), request.path},
                                {QStringLiteral("host"), request.hostName()},
                                {QStringLiteral("json"), body},
                                {QStringLiteral("status"), answer.status},
                                {QStringLiteral("answer"), answer.body}});
    if (fault.is("never-answer"))
        return;
    const QByteArray response
        = httpResponse(answer.status, "application/json", QJsonDocument(answer.body).toJson(QJsonDocument::Compact));
    QTimer::singleShot(m_server.scenario().customization.delayMs, this, [socket = QPointer<QTcpSocket>(m_socket), response] {
        if (socket)
            socket->write(response);
    });
}

void HttpConnection::listModels(const HttpRequest &request)
{
    // The model list costs no tokens: what a client asks to learn whether
    // its key and base address work.
    const Scenario &scenario = m_server.scenario();
    const bool keyOk = scenario.audio.keylessHosts.contains(request.hostName()) || authorized(request);
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("http-request")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("method"), QString::fromUtf8(request.method)},
                                {QStringLiteral("path"), request.path},
                                {QStringLiteral("host"), request.hostName()},
                                {QStringLiteral("authorization"),
                                 Recorder::maskAuthorization(request.header("authorization"))},
                                {QStringLiteral("status"), keyOk ? 200 : 401}});
    if (!keyOk) {
        const QJsonObject error{{QStringLiteral("message"), QStringLiteral("Incorrect API key provided. ")},
                                {QStringLiteral("type"), QStringLiteral("invalid_request_error")},
                                {QStringLiteral("param"), QJsonValue(QJsonValue::Null)},
                                {QStringLiteral("code"), QStringLiteral("invalid_api_key")}};
        const QJsonObject body{{QStringLiteral("error"), error}, {QStringLiteral("request_id"), newRequestId()}};
        m_socket->write(httpResponse(401, "application/json", QJsonDocument(body).toJson(QJsonDocument::Compact)));
        return;
    }
    QJsonArray models;
    for (const QStringList &names : {scenario.chat.models, scenario.vision.models, scenario.audio.transcriptionModels,
                                     scenario.audio.speechModels}) {
        for (const QString &name : names)
            models.append(QJsonObject{{QStringLiteral("id"), name}, {QStringLiteral("object"), QStringLiteral("model")},
                                      {QStringLiteral("owned_by"), QStringLiteral("system")}});
    }
    const QJsonObject list{{QStringLiteral("object"), QStringLiteral("list")}, {QStringLiteral("data"), models}};
    m_socket->write(httpResponse(200, "application/json", QJsonDocument(list).toJson(QJsonDocument::Compact)));
}

void HttpConnection::upgrade(const HttpRequest &request)
{
    const bool knownPath = request.path == QLatin1String("/api-ws/v1/inference")
                           || request.path == QLatin1String("/api-ws/v1/inference/");
    const bool keyOk = authorized(request);
    const QByteArray clientKey = request.header("sec-websocket-key");
    const int status = !knownPath ? 404 : !keyOk ? 401 : clientKey.isEmpty() ? 400 : 101;
    m_server.recorder().record({{QStringLiteral("kind"), QStringLiteral("ws-upgrade")},
                                {QStringLiteral("connection"), m_id},
                                {QStringLiteral("path"), request.path},
                                {QStringLiteral("host"), request.hostName()},
                                {QStringLiteral("authorization"),
                                 Recorder::maskAuthorization(request.header("authorization"))},
                                {QStringLiteral("status"), status}});
    if (status != 101) {
        const QByteArray body = status == 401 ? errorJson(QStringLiteral("InvalidApiKey"),
                                                          QStringLiteral("Unauthorized: a valid bearer key is required"))
                                : status == 404 ? errorJson(QStringLiteral("NotFound"), QStringLiteral("no such endpoint"))
                                                : errorJson(QStringLiteral("InvalidRequest"),
                                                            QStringLiteral("missing Sec-WebSocket-Key"));
        m_socket->write(httpResponse(status, "application/json", body));
        m_socket->disconnectFromHost();
        return;
    }
    m_socket->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                    "Sec-WebSocket-Accept: " + WebSocketFrames::acceptKey(clientKey) + "\r\n\r\n");
    m_upgraded = true;
    disconnect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    new WsSession(m_socket, m_server, m_id, m_reader.leftover(), this);
}

void HttpConnection::handleControl(const HttpRequest &request)
{
    Recorder &recorder = m_server.recorder();
    if (request.path == QLatin1String("/standin/records")) {
        if (request.method == "DELETE") {
            const qsizetype count = recorder.records().size();
            recorder.clear();
            m_socket->write(httpResponse(200, "application/json",
                                         "{\"cleared\":" + QByteArray::number(count) + "}"));
            return;
        }
        QByteArray lines;
        for (const QJsonObject &entry : recorder.records())
            lines += QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
        m_socket->write(httpResponse(200, "application/x-ndjson", lines));
        return;
    }
    if (request.path == QLatin1String("/standin/scenario")) {
        if (request.method == "PUT" || request.method == "POST") {
            QString error;
            const auto scenario = Scenario::fromJson(request.body, &error);
            if (!scenario) {
                m_socket->write(httpResponse(400, "application/json",
                                             QJsonDocument(QJsonObject{{QStringLiteral("error"), error}}).toJson(QJsonDocument::Compact)));
                return;
            }
            m_server.setScenario(*scenario);
            m_socket->write(httpResponse(200, "application/json", "{\"ok\":true}"));
            return;
        }
        m_socket->write(httpResponse(405, "text/plain", "PUT a scenario here"));
        return;
    }
    m_socket->write(httpResponse(404, "text/plain", "no such control request"));
}

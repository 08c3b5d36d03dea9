#include "StandinClient.h"

#include "TestSupport.h"

#include <QJsonDocument>
#include <QHostAddress>
#include <QNetworkRequest>
#include <QTcpSocket>
#include <QtEndian>

#include <cmath>

using TestSupport::waitUntil;

WsClient::WsClient(StandinServer &server, const QString &key, const QString &path, const QByteArray &scheme)
{
    QObject::connect(&m_socket, &QWebSocket::textMessageReceived, [this](const QString &text) {
        const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
        if (document.isObject())
            events.append(document.object());
        else
            nonJsonTexts.append(text);
    });
    QObject::connect(&m_socket, &QWebSocket::binaryMessageReceived, [this](const QByteArray &data) {
        binary += data;
        ++binaryFrames;
    });
    QUrl url = server.webSocketUrl();
    if (!path.isEmpty())
        url.setPath(path);
    QNetworkRequest request(url);
    if (!key.isEmpty())
        request.setRawHeader("Authorization", scheme + ' ' + key.toUtf8());
    m_socket.open(request);
    waitUntil([this] {
        return m_socket.state() == QAbstractSocket::ConnectedState
               || m_socket.state() == QAbstractSocket::UnconnectedState;
    }, 3000);
}

void WsClient::sendJson(const QJsonObject &frame)
{
    sendText(QJsonDocument(frame).toJson(QJsonDocument::Compact));
}

void WsClient::sendText(const QByteArray &text)
{
    m_socket.sendTextMessage(QString::fromUtf8(text));
    m_socket.flush();
}

void WsClient::sendBinary(const QByteArray &data)
{
    m_socket.sendBinaryMessage(data);
    m_socket.flush();
}

QJsonObject WsClient::waitForEvent(const QString &event, int timeoutMs)
{
    QJsonObject found;
    waitUntil([&] {
        while (m_consumed < events.size()) {
            const QJsonObject frame = events[m_consumed++];
            const QString name = frame[QStringLiteral("header")][QStringLiteral("event")].toString();
            if (event.isEmpty() || name == event) {
                found = frame;
                return true;
            }
        }
        return false;
    }, timeoutMs);
    return found;
}

bool WsClient::waitForDisconnect(int timeoutMs)
{
    return waitUntil([this] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
}

namespace Frames {
namespace {
QJsonObject header(const char *action, const QString &taskId)
{
    return {{QStringLiteral("action"), QLatin1String(action)},
            {QStringLiteral("task_id"), taskId},
            {QStringLiteral("streaming"), QStringLiteral("duplex")}};
}
} // namespace

QJsonObject recognitionRunTask(const QString &taskId)
{
    return {{QStringLiteral("header"), header("run-task", taskId)},
            {QStringLiteral("payload"),
             QJsonObject{{QStringLiteral("task_group"), QStringLiteral("audio")},
                         {QStringLiteral("task"), QStringLiteral("asr")},
                         {QStringLiteral("function"), QStringLiteral("recognition")},
                         {QStringLiteral("model"), QStringLiteral("fun-asr-realtime")},
                         {QStringLiteral("parameters"), QJsonObject{{QStringLiteral("sample_rate"), 16000},
                                                                    {QStringLiteral("format"), QStringLiteral("pcm")},
                                                                    {QStringLiteral("heartbeat"), true},
                                                                    {QStringLiteral("semantic_punctuation_enabled"), true}}},
                         {QStringLiteral("input"), QJsonObject()}}}};
}

QJsonObject synthesisRunTask(const QString &taskId, const QString &voice)
{
    return {{QStringLiteral("header"), header("run-task", taskId)},
            {QStringLiteral("payload"),
             QJsonObject{{QStringLiteral("task_group"), QStringLiteral("audio")},
                         {QStringLiteral("task"), QStringLiteral("tts")},
                         {QStringLiteral("function"), QStringLiteral("SpeechSynthesizer")},
                         {QStringLiteral("model"), QStringLiteral("cosyvoice-v3-flash")},
                         {QStringLiteral("parameters"), QJsonObject{{QStringLiteral("text_type"), QStringLiteral("PlainText")},
                                                                    {QStringLiteral("voice"), voice},
                                                                    {QStringLiteral("format"), QStringLiteral("mp3")},
                                                                    {QStringLiteral("sample_rate"), 22050},
                                                                    {QStringLiteral("volume"), 50},
                                                                    {QStringLiteral("rate"), 1.0},
                                                                    {QStringLiteral("pitch"), 1.0}}},
                         {QStringLiteral("input"), QJsonObject()}}}};
}

QJsonObject continueTask(const QString &taskId, const QString &text)
{
    return {{QStringLiteral("header"), header("continue-task", taskId)},
            {QStringLiteral("payload"),
             QJsonObject{{QStringLiteral("input"), QJsonObject{{QStringLiteral("text"), text}}}}}};
}

QJsonObject finishTask(const QString &taskId)
{
    return {{QStringLiteral("header"), header("finish-task", taskId)},
            {QStringLiteral("payload"), QJsonObject{{QStringLiteral("input"), QJsonObject()}}}};
}

QByteArray tone(double hz, int ms, int rate, double amplitude)
{
    const int samples = rate * ms / 1000;
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i)
        qToLittleEndian(qint16(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * i / rate))), pcm.data() + 2 * i);
    return pcm;
}
} // namespace Frames

HttpResult postChat(StandinServer &server, const QByteArray &body, const QString &key, int timeoutMs)
{
    static QNetworkAccessManager *manager = new QNetworkAccessManager;
    QNetworkRequest request(QUrl(server.compatibleBaseUrl() + QStringLiteral("/chat/completions")));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (!key.isEmpty())
        request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    QNetworkReply *reply = manager->post(request, body);
    HttpResult result;
    QObject::connect(reply, &QNetworkReply::readyRead, [&] { result.body += reply->readAll(); });
    result.finished = waitUntil([&] { return reply->isFinished(); }, timeoutMs);
    result.body += reply->readAll();
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.error = reply->error();
    reply->abort();
    reply->deleteLater();
    return result;
}

QStringList dataLines(const QByteArray &body)
{
    QStringList lines;
    for (const QByteArray &line : body.split('\n')) {
        if (line.startsWith("data: "))
            lines << QString::fromUtf8(line.mid(6).trimmed());
    }
    return lines;
}

RawResponse rawHttp(StandinServer &server, const QByteArray &method, const QString &path,
                    const QList<std::pair<QByteArray, QByteArray>> &headers, const QByteArray &body, bool chunked)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.port());
    if (!socket.waitForConnected(3000))
        return {};
    QByteArray request = method + ' ' + path.toUtf8() + " HTTP/1.1\r\nHost: 127.0.0.1:"
                         + QByteArray::number(server.port()) + "\r\n";
    for (const auto &[name, value] : headers)
        request += name + ": " + value + "\r\n";
    if (chunked) {
        request += "Transfer-Encoding: chunked\r\n\r\n";
        // In pieces of 1000 bytes, as a file stream is read.
        for (qsizetype at = 0; at < body.size(); at += 1000) {
            const QByteArray piece = body.mid(at, 1000);
            request += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
        }
        request += "0\r\n\r\n";
    } else {
        request += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
    }
    socket.write(request);
    QByteArray received;
    RawResponse response;
    // Until the head and as much body as it announces (or its last chunk) are in.
    waitUntil([&] {
        received += socket.readAll();
        const qsizetype headEnd = received.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return false;
        const QList<QByteArray> lines = received.left(headEnd).split('\n');
        response.status = lines.first().split(' ').value(1).toInt();
        for (const QByteArray &line : lines.mid(1)) {
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                response.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        const QByteArray rest = received.mid(headEnd + 4);
        if (response.headers.value("transfer-encoding") == "chunked") {
            if (!rest.endsWith("0\r\n\r\n"))
                return false;
            response.body.clear();
            for (qsizetype at = 0;;) {
                const qsizetype lineEnd = rest.indexOf("\r\n", at);
                const qsizetype size = rest.mid(at, lineEnd - at).toLongLong(nullptr, 16);
                if (size == 0)
                    return true;
                response.body += rest.mid(lineEnd + 2, size);
                at = lineEnd + 2 + size + 2;
            }
        }
        const qsizetype length = response.headers.value("content-length").toLongLong();
        response.body = rest.left(length);
        return rest.size() >= length;
    }, 5000);
    return response;
}

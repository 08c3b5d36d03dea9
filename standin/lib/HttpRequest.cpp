#include "HttpRequest.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QUrl>
#include <QUuid>

bool HttpRequest::isWebSocketUpgrade() const
{
    return header("upgrade").toLower() == "websocket";
}

std::optional<HttpRequest> HttpRequestReader::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    if (!m_head) {
        // Searched only where the end can have arrived since the last look,
        // not again from the start of a head sent a byte at a time.
        const qsizetype end = m_buffer.indexOf("\r\n\r\n", m_searched);
        m_searched = std::max<qsizetype>(0, m_buffer.size() - 3);
        if (end < 0) {
            if (m_buffer.size() > kMaxHeadBytes)
                m_error = "request head too large";
            return std::nullopt;
        }
        const QList<QByteArray> lines = m_buffer.left(end).split('\n');
        m_buffer.remove(0, end + 4);
        m_searched = 0;
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
            m_error = "not an HTTP/1.x request line";
            return std::nullopt;
        }
        HttpRequest request;
        request.method = requestLine[0];
        request.path = QUrl(QString::fromUtf8(requestLine[1])).path();
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            request.headers.insert(line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed());
        }
        m_chunked = request.header("transfer-encoding").toLower().contains("chunked");
        if (m_chunked && !m_acceptChunked) {
            m_error = "chunked request bodies are not supported";
            return std::nullopt;
        }
        m_body.clear();
        bool ok = true;
        const QByteArray length = request.header("content-length");
        m_bodyLength = length.isEmpty() ? 0 : length.toLongLong(&ok);
        if (!ok || m_bodyLength < 0 || m_bodyLength > kMaxBodyBytes) {
            m_error = "bad Content-Length";
            return std::nullopt;
        }
        m_head = request;
    }
    HttpRequest request = *m_head;
    if (m_chunked) {
        if (!readChunks())
            return std::nullopt;
        request.body = std::exchange(m_body, QByteArray());
    } else {
        if (m_buffer.size() < m_bodyLength)
            return std::nullopt;
        request.body = m_buffer.left(m_bodyLength);
        m_buffer.remove(0, m_bodyLength);
    }
    m_head.reset();
    return request;
}

bool HttpRequestReader::readChunks()
{
    for (;;) {
        const qsizetype lineEnd = m_buffer.indexOf("\r\n");
        if (lineEnd < 0) {
            if (m_buffer.size() > 1024)
                m_error = "bad chunk size line";
            return false;
        }
        // "1a3;name=value": the size in hex, extensions ignored.
        bool ok = false;
        const QByteArray sizeText = m_buffer.left(lineEnd).split(';').first().trimmed();
        const qint64 size = sizeText.toLongLong(&ok, 16);
        if (!ok || size < 0 || sizeText.size() > 15) {
            m_error = "bad chunk size line";
            return false;
        }
        if (m_body.size() + size > kMaxBodyBytes) {
            m_error = "request body too large";
            return false;
        }
        if (size == 0) {
            // The trailer: header lines (ignored) up to an empty one.
            const qsizetype end = m_buffer.indexOf("\r\n\r\n", lineEnd);
            if (end >= 0) {
                m_buffer.remove(0, end + 4);
                return true;
            }
            if (m_buffer.size() > kMaxHeadBytes)
                m_error = "request trailer too large";
            return false;
        }
        if (m_buffer.size() < lineEnd + 2 + size + 2)
            return false;
        if (m_buffer.mid(lineEnd + 2 + size, 2) != "\r\n") {
            m_error = "a chunk does not end with CRLF";
            return false;
        }
        m_body += m_buffer.mid(lineEnd + 2, size);
        m_buffer.remove(0, lineEnd + 2 + size + 2);
    }
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 101: return "Switching Protocols";
    case 200: return "OK";
    case 201: return "Created";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

QByteArray httpResponse(int status, const QByteArray &contentType, const QByteArray &body,
                        const QList<std::pair<QByteArray, QByteArray>> &extraHeaders)
{
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    if (!contentType.isEmpty())
        response += "Content-Type: " + contentType + "\r\n";
    for (const auto &[name, value] : extraHeaders)
        response += name + ": " + value + "\r\n";
    response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n";
    return response + body;
}

QString newRequestId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray errorJson(const QString &code, const QString &message)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("code"), code},
                                     {QStringLiteral("message"), message},
                                     {QStringLiteral("request_id"), newRequestId()}})
        .toJson(QJsonDocument::Compact);
}

QString HttpRequest::hostName() const
{
    QString name = QString::fromUtf8(header("host")).trimmed().toLower();
    // "name:port", "[v6]:port": the port goes.
    const qsizetype colon = name.lastIndexOf(QLatin1Char(':'));
    if (colon > name.lastIndexOf(QLatin1Char(']')))
        name.truncate(colon);
    return name;
}

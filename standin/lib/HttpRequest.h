#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// One HTTP/1.1 request as the stand-in reads it from a socket.
struct HttpRequest
{
    QByteArray method;
    QString path; // without the query
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;

    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    // The Host header without its port, in lower case: which of the
    // service's names the client meant.
    QString hostName() const;
    bool isWebSocketUpgrade() const;
};

// Reads a request head and its body (by Content-Length, or in chunks where
// allowed) from bytes as they arrive.
class HttpRequestReader
{
public:
    // Whether a chunked body is read (as HTTP/1.1 servers must) or refused.
    void setAcceptChunked(bool accept) { m_acceptChunked = accept; }

    // Appends bytes; returns the request once it is complete. Bytes after it
    // (a WebSocket client's first frames) are left in leftover().
    std::optional<HttpRequest> feed(const QByteArray &bytes);
    const QByteArray &leftover() const { return m_buffer; }
    // Set when the bytes are not an HTTP request we can read.
    const QByteArray &error() const { return m_error; }

    static constexpr qsizetype kMaxHeadBytes = 64 * 1024;
    static constexpr qsizetype kMaxBodyBytes = 64 * 1024 * 1024;

private:
    // The chunks of the body that have arrived, appended to m_body; true
    // once the last (empty) chunk and the trailer are in.
    bool readChunks();

    bool m_acceptChunked = true;
    bool m_chunked = false;
    QByteArray m_body;
    QByteArray m_buffer;
    QByteArray m_error;
    std::optional<HttpRequest> m_head;
    qsizetype m_searched = 0; // the head's end is not before this
    qsizetype m_bodyLength = 0;
};

// A complete HTTP response with a body and a Content-Length.
QByteArray httpResponse(int status, const QByteArray &contentType, const QByteArray &body,
                        const QList<std::pair<QByteArray, QByteArray>> &extraHeaders = {});
QByteArray reasonPhrase(int status);
// A new request's ID, as every answer of the service carries one (errors too).
QString newRequestId();
// An error body as the service's native interface writes it:
// {"code","message","request_id"}.
QByteArray errorJson(const QString &code, const QString &message);

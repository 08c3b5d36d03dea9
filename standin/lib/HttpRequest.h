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

// Reads a request head and a Content-Length body from bytes as they arrive.
class HttpRequestReader
{
public:
    // Appends bytes; returns the request once it is complete. Bytes after it
    // (a WebSocket client's first frames) are left in leftover().
    std::optional<HttpRequest> feed(const QByteArray &bytes);
    const QByteArray &leftover() const { return m_buffer; }
    // Set when the bytes are not an HTTP request we can read.
    const QByteArray &error() const { return m_error; }

    static constexpr qsizetype kMaxHeadBytes = 64 * 1024;
    static constexpr qsizetype kMaxBodyBytes = 64 * 1024 * 1024;

private:
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

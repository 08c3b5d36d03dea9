#pragma once

#include "ServiceError.h"

#include <QNetworkRequest>
#include <QObject>

#include <functional>
#include <optional>

class QWebSocket;

// One WebSocket of the recogniser, from its handshake to its close: frames
// in and out, pings, and one failure report however the socket stopped
// working. Our own close() is not a failure and reports nothing.
class RecognitionSocket : public QObject
{
    Q_OBJECT

public:
    // Opens the socket at once with the request (its headers included).
    RecognitionSocket(const QNetworkRequest &request, QObject *parent = nullptr);
    ~RecognitionSocket() override;

    bool isOpen() const;
    QString errorString() const;
    // Calls opened once the handshake is done.
    void whenOpen(std::function<void()> opened);
    // Whether the frame went out.
    bool sendText(const QByteArray &frame);
    void sendBinary(const QByteArray &data);
    // A ping, after saying so when the last one got no pong.
    void ping();
    // Closes normally; nothing more is reported.
    void close();

Q_SIGNALS:
    void textReceived(const QString &text);
    void binaryReceived(const QByteArray &data);
    // The socket stopped working: reported once, with its first error.
    void failed(const ServiceError &error);

private:
    QWebSocket *m_socket;
    std::optional<ServiceError> m_error; // the first error of the socket
    bool m_failed = false;
    bool m_pingAnswered = true;
};

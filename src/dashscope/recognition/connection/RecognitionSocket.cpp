#include "RecognitionSocket.h"

#include "Log.h"
#include "SocketErrors.h"

#include <QTimer>
#include <QWebSocket>

RecognitionSocket::RecognitionSocket(const QNetworkRequest &request, QObject *parent)
    : QObject(parent), m_socket(new QWebSocket(QString(), QWebSocketProtocol::VersionLatest, this))
{
    connect(m_socket, &QWebSocket::textMessageReceived, this, &RecognitionSocket::textReceived);
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &RecognitionSocket::binaryReceived);
    // A refused connection reports "disconnected" before its error: decide
    // once both had their turn. The first error is the one that counts (a
    // refused handshake is followed by the peer closing the socket).
    auto failed = [this] {
        QTimer::singleShot(0, this, [this] {
            if (std::exchange(m_failed, true))
                return;
            Q_EMIT this->failed(m_error.value_or(SocketErrors::closedByPeer(m_socket->errorString())));
        });
    };
    connect(m_socket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this, failed](QAbstractSocket::SocketError error) {
                if (!m_error)
                    m_error = SocketErrors::fromSocket(error, m_socket->errorString());
                failed();
            });
    connect(m_socket, &QWebSocket::disconnected, this, failed);
    connect(m_socket, &QWebSocket::pong, this, [this] { m_pingAnswered = true; });
    m_socket->open(request);
}

RecognitionSocket::~RecognitionSocket() = default;

bool RecognitionSocket::isOpen() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

QString RecognitionSocket::errorString() const
{
    return m_socket->errorString();
}

void RecognitionSocket::whenOpen(std::function<void()> opened)
{
    connect(m_socket, &QWebSocket::connected, this, std::move(opened), Qt::SingleShotConnection);
}

bool RecognitionSocket::sendText(const QByteArray &frame)
{
    return m_socket->sendTextMessage(QString::fromUtf8(frame)) > 0;
}

void RecognitionSocket::sendBinary(const QByteArray &data)
{
    if (isOpen())
        m_socket->sendBinaryMessage(data);
}

void RecognitionSocket::ping()
{
    if (!isOpen())
        return;
    // Qt reports no failed ping: a ping unanswered by the next one counts as failed.
    if (!m_pingAnswered)
        Log::line(QStringLiteral("⚠️ [RealtimeASR] Ping 失败：上一次 Ping 没有收到 Pong"));
    m_pingAnswered = false;
    m_socket->ping();
}

void RecognitionSocket::close()
{
    // Our own close is not a failure: cut the signals first.
    QObject::disconnect(m_socket, nullptr, this, nullptr);
    m_failed = true;
    m_socket->close(QWebSocketProtocol::CloseCodeNormal);
}

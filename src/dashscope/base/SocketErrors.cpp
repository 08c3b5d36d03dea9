#include "SocketErrors.h"

namespace SocketErrors {

ServiceError fromSocket(QAbstractSocket::SocketError error, const QString &description)
{
    switch (error) {
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::OperationError:
        return {QStringLiteral("WebSocket"), kNotConnected, description};
    default:
        // Qt's own error numbers, offset so that none collides with a quiet code.
        return {QStringLiteral("WebSocket"), 1000 + int(error), description};
    }
}

ServiceError closedByPeer(const QString &description)
{
    return fromSocket(QAbstractSocket::RemoteHostClosedError, description);
}

bool isQuiet(int code)
{
    return code == kClosedByUs || code == kConnectionAborted || code == kNotConnected;
}

} // namespace SocketErrors

#pragma once

#include "ServiceError.h"

#include <QAbstractSocket>

// How a WebSocket that stopped working is reported. Three conditions are
// quiet, as a normal end of a connection: 0 (closed by us), 53 (connection
// aborted) and 57 (not connected, e.g. the peer closed it). Qt reports a peer
// that closes or aborts as RemoteHostClosedError, and a socket used after it
// closed as OperationError: both are condition 57. Our own closes never reach
// the handlers (their signals are cut first), which is condition 0. Every
// other socket error (refused, unreachable, time-out, a refused handshake)
// stays loud with Qt's own description.
namespace SocketErrors {

// The numbers are the BSD errno values the service's other clients report,
// so that logs and status texts read the same on every platform.
constexpr int kClosedByUs = 0;          // we closed it: nothing happened
constexpr int kConnectionAborted = 53;  // ECONNABORTED: the connection was dropped on the way
constexpr int kNotConnected = 57;       // ENOTCONN: the peer closed it, or it was used after closing

ServiceError fromSocket(QAbstractSocket::SocketError error, const QString &description);
// A socket that closed without an error of its own: the peer ended it (57).
ServiceError closedByPeer(const QString &description);
bool isQuiet(int code);

} // namespace SocketErrors

#pragma once

#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <chrono>

// Whether the model service takes this key at these addresses, asked the
// cheapest way that proves it without spending tokens or sending audio: the
// HTTP interface's model list (which needs the key), then the WebSocket
// interface's handshake (which needs it too), closed at once.
namespace ServiceCheck {

enum class Outcome { Accepted, Refused, Unreachable };

struct Result
{
    Outcome outcome = Outcome::Unreachable;
    // Refused: the service's message; Unreachable: the error.
    QString detail;
};

// Gives up after bound in all, as Unreachable.
QCoro::Task<Result> run(QString key, QString compatibleBaseUrl, QUrl duplex, std::chrono::milliseconds bound);

} // namespace ServiceCheck

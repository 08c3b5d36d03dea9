#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The wire format of realtime recognition on the service's duplex WebSocket:
// the frames the client sends and the reading of the frames it receives.
namespace AsrProtocol {

// 32 upper-case hexadecimal digits, new every time.
QString makeTaskId();

// A client frame of the duplex interface: the header (action, task id,
// "duplex") and the payload. Recognition and synthesis share it.
QByteArray envelope(const char *action, const QString &taskId, const QJsonObject &payload);

QByteArray runTaskFrame(const QString &taskId, const QString &model);
QByteArray finishTaskFrame(const QString &taskId);

struct ServerFrame
{
    QString event; // "unknown" when the header or its "event" is missing
    std::optional<QJsonObject> header;
    std::optional<QJsonObject> payload;
};
// Nothing when the text is not a JSON object.
std::optional<ServerFrame> parse(const QByteArray &text);

// payload → output → sentence → member, each step an object.
std::optional<QString> sentenceText(const QJsonObject &payload);
std::optional<bool> sentenceFlag(const QJsonObject &payload, const QString &flag);
// payload → usage → duration (an integer).
std::optional<qint64> billedDuration(const QJsonObject &payload);
// header → error_message, "未知错误" when missing or not a string.
QString errorMessage(const std::optional<QJsonObject> &header);

} // namespace AsrProtocol

#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <optional>

// The wire format of the service's duplex WebSocket, which carries both
// realtime recognition and speech synthesis: the frames the client sends and
// the reading of the frames it receives.
namespace DuplexProtocol {

// 32 upper-case hexadecimal digits, new every time.
QString makeTaskId();

// A client frame: the header (action, task id, "duplex") and the payload.
QByteArray envelope(const char *action, const QString &taskId, const QJsonObject &payload);

// Recognition: 16 kHz PCM, heartbeats and semantic punctuation on; with a
// language ("zh", "en", "ja") the service is told to expect it, without one
// it detects the language itself.
QByteArray recognitionRunTaskFrame(const QString &taskId, const QString &model, const QString &language = {},
                                   const QString &vocabularyId = {});
// Synthesis: one MP3 at 22050 Hz in the given voice.
QByteArray synthesisRunTaskFrame(const QString &taskId, const QString &model, const QString &voice);
QByteArray continueTaskFrame(const QString &taskId, const QString &text);
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

} // namespace DuplexProtocol

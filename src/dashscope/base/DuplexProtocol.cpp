#include "DuplexProtocol.h"

#include "Json.h"
#include "UserText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

namespace DuplexProtocol {
namespace {
std::optional<QJsonObject> sentence(const QJsonObject &payload)
{
    const QJsonValue output = payload.value(QStringLiteral("output"));
    if (!output.isObject())
        return std::nullopt;
    const QJsonValue value = output.toObject().value(QStringLiteral("sentence"));
    if (!value.isObject())
        return std::nullopt;
    return value.toObject();
}
} // namespace

QString makeTaskId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).remove(QLatin1Char('-')).left(32).toUpper();
}

QByteArray envelope(const char *action, const QString &taskId, const QJsonObject &payload)
{
    const QJsonObject header{{QStringLiteral("action"), QLatin1String(action)},
                             {QStringLiteral("task_id"), taskId},
                             {QStringLiteral("streaming"), QStringLiteral("duplex")}};
    return QJsonDocument(QJsonObject{{QStringLiteral("header"), header}, {QStringLiteral("payload"), payload}})
        .toJson(QJsonDocument::Compact);
}

QByteArray recognitionRunTaskFrame(const QString &taskId, const QString &model, const QString &language,
                                   const QString &vocabularyId)
{
    QJsonObject parameters{{QStringLiteral("sample_rate"), 16000},
                           {QStringLiteral("format"), QStringLiteral("pcm")},
                           {QStringLiteral("heartbeat"), true},
                           {QStringLiteral("semantic_punctuation_enabled"), true}};
    // The service reads only the first hint.
    if (!language.isEmpty())
        parameters.insert(QStringLiteral("language_hints"), QJsonArray{language});
    if (!vocabularyId.isEmpty())
        parameters.insert(QStringLiteral("vocabulary_id"), vocabularyId);
    return envelope("run-task", taskId,
                    {{QStringLiteral("task_group"), QStringLiteral("audio")},
                     {QStringLiteral("task"), QStringLiteral("asr")},
                     {QStringLiteral("function"), QStringLiteral("recognition")},
                     {QStringLiteral("model"), model},
                     {QStringLiteral("parameters"), parameters},
                     {QStringLiteral("input"), QJsonObject()}});
}

QByteArray synthesisRunTaskFrame(const QString &taskId, const QString &model, const QString &voice)
{
    const QJsonObject parameters{{QStringLiteral("text_type"), QStringLiteral("PlainText")},
                                 {QStringLiteral("voice"), voice},
                                 {QStringLiteral("format"), QStringLiteral("mp3")},
                                 {QStringLiteral("sample_rate"), 22050},
                                 {QStringLiteral("volume"), 50},
                                 {QStringLiteral("rate"), 1.0},
                                 {QStringLiteral("pitch"), 1.0}};
    return envelope("run-task", taskId,
                    {{QStringLiteral("task_group"), QStringLiteral("audio")},
                     {QStringLiteral("task"), QStringLiteral("tts")},
                     {QStringLiteral("function"), QStringLiteral("SpeechSynthesizer")},
                     {QStringLiteral("model"), model},
                     {QStringLiteral("parameters"), parameters},
                     {QStringLiteral("input"), QJsonObject()}});
}

QByteArray continueTaskFrame(const QString &taskId, const QString &text)
{
    return envelope("continue-task", taskId, {{QStringLiteral("input"), QJsonObject{{QStringLiteral("text"), text}}}});
}

QByteArray finishTaskFrame(const QString &taskId)
{
    return envelope("finish-task", taskId, {{QStringLiteral("input"), QJsonObject()}});
}

std::optional<ServerFrame> parse(const QByteArray &text)
{
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject root = document.object();
    ServerFrame frame;
    frame.event = QStringLiteral("unknown");
    if (const QJsonValue header = root.value(QStringLiteral("header")); header.isObject()) {
        frame.header = header.toObject();
        if (const QJsonValue event = frame.header->value(QStringLiteral("event")); event.isString())
            frame.event = event.toString();
    }
    if (const QJsonValue payload = root.value(QStringLiteral("payload")); payload.isObject())
        frame.payload = payload.toObject();
    return frame;
}

std::optional<QString> sentenceText(const QJsonObject &payload)
{
    const auto object = sentence(payload);
    if (!object || !object->value(QStringLiteral("text")).isString())
        return std::nullopt;
    return object->value(QStringLiteral("text")).toString();
}

std::optional<bool> sentenceFlag(const QJsonObject &payload, const QString &flag)
{
    const auto object = sentence(payload);
    if (!object || !object->value(flag).isBool())
        return std::nullopt;
    return object->value(flag).toBool();
}

std::optional<qint64> billedDuration(const QJsonObject &payload)
{
    const QJsonValue usage = payload.value(QStringLiteral("usage"));
    if (!usage.isObject())
        return std::nullopt;
    return Json::integer(usage.toObject().value(QStringLiteral("duration")));
}

QString errorMessage(const std::optional<QJsonObject> &header)
{
    if (header && header->value(QStringLiteral("error_message")).isString())
        return header->value(QStringLiteral("error_message")).toString();
    return UserText::of(QT_TRANSLATE_NOOP("UserText", "未知错误"));
}

} // namespace DuplexProtocol

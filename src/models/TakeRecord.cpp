#include "TakeRecord.h"

#include "Json.h"

namespace {
const QString kTime = QStringLiteral("time");
const QString kMode = QStringLiteral("mode");
const QString kText = QStringLiteral("text");
const QString kAnswer = QStringLiteral("answer");
const QString kEnding = QStringLiteral("ending");
const QString kLatency = QStringLiteral("latencyMs");
const QString kAudio = QStringLiteral("audio");
const QString kAudioMs = QStringLiteral("audioMs");
const QString kReason = QStringLiteral("reason");
const QString kRaw = QStringLiteral("raw");
} // namespace

QByteArray TakeRecord::toJson() const
{
    Json::ObjectWriter writer;
    writer.add(kTime, time.toUTC().toString(Qt::ISODateWithMs));
    writer.add(kMode, AppModes::rawValue(mode));
    writer.add(kText, text);
    if (!answer.isEmpty())
        writer.add(kAnswer, answer);
    writer.add(kEnding, ending);
    writer.add(kLatency, latencyMs);
    if (!audio.isEmpty()) {
        writer.add(kAudio, audio);
        writer.add(kAudioMs, audioMs);
    }
    if (!reason.isEmpty())
        writer.add(kReason, reason);
    if (!raw.isEmpty() && raw != text)
        writer.add(kRaw, raw);
    return writer.bytes();
}

std::optional<TakeRecord> TakeRecord::fromJson(const QByteArray &line)
{
    const auto object = Json::parseObject(line);
    if (!object)
        return std::nullopt;
    const auto time = Json::stringMember(*object, kTime);
    const auto mode = Json::stringMember(*object, kMode);
    const auto text = Json::stringMember(*object, kText);
    const auto ending = Json::stringMember(*object, kEnding);
    const auto latency = Json::integer(object->value(kLatency));
    if (!time || !mode || !text || !ending || !latency || !AppModes::fromRawValue(*mode))
        return std::nullopt;
    TakeRecord record;
    record.time = QDateTime::fromString(*time, Qt::ISODateWithMs);
    if (!record.time.isValid())
        return std::nullopt;
    record.mode = *AppModes::fromRawValue(*mode);
    record.text = *text;
    record.answer = Json::stringMember(*object, kAnswer).value_or(QString());
    record.ending = *ending;
    record.latencyMs = *latency;
    record.audio = Json::stringMember(*object, kAudio).value_or(QString());
    record.audioMs = record.audio.isEmpty() ? -1 : Json::integer(object->value(kAudioMs)).value_or(-1);
    record.reason = Json::stringMember(*object, kReason).value_or(QString());
    record.raw = Json::stringMember(*object, kRaw).value_or(QString());
    return record;
}

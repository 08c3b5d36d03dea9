#include "RecognitionEvents.h"

#include "DuplexProtocol.h"
#include "Log.h"

#include <QJsonDocument>

namespace RecognitionEvents {
namespace {

QString compactText(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

RecognitionEvent eventOf(RecognitionEvent::Kind kind, std::optional<QString> text = std::nullopt)
{
    RecognitionEvent event;
    event.kind = kind;
    event.text = std::move(text);
    return event;
}

RecognitionEvent result(const QJsonObject &payload)
{
    RecognitionEvent event = eventOf(RecognitionEvent::Kind::Result);
    // Keep-alive results carry no text of their own.
    if (DuplexProtocol::sentenceFlag(payload, QStringLiteral("heartbeat")).value_or(false))
        return event;
    event.text = DuplexProtocol::sentenceText(payload);
    if (event.text) {
        Log::line(QStringLiteral("📝 [RealtimeASR] 识别结果：") + *event.text);
        event.sentenceEnd = DuplexProtocol::sentenceFlag(payload, QStringLiteral("sentence_end")).value_or(false);
    }
    if (const auto duration = DuplexProtocol::billedDuration(payload))
        Log::line(QStringLiteral("⏱️ [RealtimeASR] 任务计费时长（秒）：%1").arg(*duration));
    return event;
}

} // namespace

std::optional<RecognitionEvent> read(const QByteArray &text)
{
    const auto frame = DuplexProtocol::parse(text);
    if (!frame) {
        Log::line(QStringLiteral("❌ [RealtimeASR] 无法解析消息：") + QString::fromUtf8(text));
        return std::nullopt;
    }
    Log::line(QStringLiteral("📨 [RealtimeASR] 收到事件：") + frame->event);
    if (frame->header)
        Log::line(QStringLiteral("   Header: ") + compactText(*frame->header));
    const QJsonObject payload = frame->payload.value_or(QJsonObject());
    if (frame->event == QLatin1String("task-started")) {
        Log::line(QStringLiteral("✅ [RealtimeASR] 任务已启动"));
        return eventOf(RecognitionEvent::Kind::Started);
    }
    if (frame->event == QLatin1String("result-generated"))
        return result(payload);
    if (frame->event == QLatin1String("task-finished")) {
        Log::line(QStringLiteral("✅ [RealtimeASR] 任务完成"));
        return eventOf(RecognitionEvent::Kind::Finished, DuplexProtocol::sentenceText(payload));
    }
    if (frame->event == QLatin1String("task-failed")) {
        RecognitionEvent event = eventOf(RecognitionEvent::Kind::Failed);
        event.message = DuplexProtocol::errorMessage(frame->header);
        Log::line(QStringLiteral("❌ [RealtimeASR] 任务失败：") + event.message);
        return event;
    }
    Log::line(QStringLiteral("⚠️ [RealtimeASR] 未知事件类型：") + frame->event);
    if (frame->payload)
        Log::line(QStringLiteral("   Payload: ") + compactText(*frame->payload));
    return RecognitionEvent{};
}

} // namespace RecognitionEvents

#include "RecognitionReconnect.h"

#include "Delay.h"
#include "Log.h"
#include "Scheduler.h"
#include "TranscriptAssembler.h"
#include "UserText.h"

RecognitionReconnect::RecognitionReconnect(RecognitionPhase &phase, RealtimeASRConnection &connection,
                                           TranscriptAssembler &transcript, Scheduler &scheduler,
                                           const RealtimeASRTimings &timings, Hooks hooks)
    : m_phase(phase)
    , m_connection(connection)
    , m_transcript(transcript)
    , m_scheduler(scheduler)
    , m_timings(timings)
    , m_hooks(std::move(hooks))
{
}

void RecognitionReconnect::attempt(const AppConfig &config, qint64 generation)
{
    if (generation != m_connection.generation())
        return;
    if (m_attempts >= kMaxAttempts) {
        Log::line(QStringLiteral("❌ [RealtimeASR] 已达最大重连次数 (%1)，放弃重连").arg(kMaxAttempts));
        m_connection.fail(ServiceError{QStringLiteral("ReconnectError"), -1,
                                       UserText::of(QT_TRANSLATE_NOOP("UserText", "重连次数超限"))});
        return;
    }
    m_phase = RecognitionPhase::Reconnecting; // the take waits for a new task, and sends it no audio meanwhile
    const int attempt = ++m_attempts;
    const QString segment = m_transcript.segment();
    if (m_transcript.commitSegment()) {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 断线重连，已保存当前段：\"%1\"，累积：\"%2\"")
                      .arg(segment.left(30), m_transcript.committed().left(50)));
    }
    Log::line(QStringLiteral("🔄 [RealtimeASR] 录音中断线，尝试第 %1 次重连（新 id=%2）...")
                  .arg(attempt)
                  .arg(generation + 1));
    run(config, generation);
}

QCoro::Task<> RecognitionReconnect::run(AppConfig config, qint64 generation)
{
    co_await delay(m_scheduler, m_timings.reconnectDelay);
    if (m_phase != RecognitionPhase::Reconnecting || generation != m_connection.generation()) {
        Log::line(QStringLiteral("🔄 [RealtimeASR] 重连前用户已停止录音或连接已变更，放弃重连"));
        if (m_phase == RecognitionPhase::Reconnecting)
            m_phase = RecognitionPhase::Recording; // somebody else connected: audio goes there
        co_return;
    }
    const VoidResult result = co_await m_hooks.reconnect(config);
    if (result) {
        // Audio flows into the new task again while the user still records.
        if (m_phase == RecognitionPhase::Reconnecting)
            m_phase = RecognitionPhase::Recording;
        m_hooks.resumed();
        Log::line(QStringLiteral("✅ [RealtimeASR] 断线重连成功，继续录音"));
        co_return;
    }
    Log::line(QStringLiteral("❌ [RealtimeASR] 重连失败：") + result.error().description);
    if (m_phase == RecognitionPhase::Reconnecting && m_attempts < kMaxAttempts)
        attempt(config, m_connection.generation());
    else
        m_connection.fail(result.error());
}

#include "RecognitionWarmUp.h"

#include "Log.h"
#include "RealtimeASRConnection.h"
#include "RecognitionAudioPath.h"

RecognitionWarmUp::RecognitionWarmUp(RealtimeASRConnection &connection, RecognitionAudioPath &audioPath,
                                     QObject *context, Hooks hooks)
    : m_connection(connection), m_audioPath(audioPath), m_context(context), m_hooks(std::move(hooks))
{
}

void RecognitionWarmUp::start(const AppConfig &config)
{
    m_run = std::make_shared<Run>(m_context);
    run(config, m_run);
}

QCoro::Task<> RecognitionWarmUp::run(AppConfig config, std::shared_ptr<Run> run)
{
    // The microphone opens at once, with the connection, so that the words
    // spoken while the long press is still being recognised are kept.
    m_audioPath.discardHeld();
    QCoro::Task<VoidResult> engine = m_audioPath.start();
    QCoro::Task<VoidResult> opened = m_connection.open(config);
    VoidResult result = co_await opened;
    const VoidResult engineResult = co_await engine;
    if (result && !engineResult)
        result = engineResult;
    if (!run->dropped) {
        if (result) {
            m_ready = true;
            Log::line(QStringLiteral("✅ [RealtimeASR] 预热完成，连接就绪"));
        } else {
            Log::line(QStringLiteral("⚠️ [RealtimeASR] 预热失败（将在正式启动时重试）：") + result.error().description);
            m_ready = false;
            if (m_run == run)
                m_run.reset();
            m_hooks.failed(bool(engineResult));
        }
    } else if (!m_run && !m_ready) {
        m_hooks.dropped();
    }
    run->done.release(bool(result));
}

QCoro::Task<> RecognitionWarmUp::wait()
{
    if (auto run = m_run) {
        co_await run->done;
        if (m_run == run)
            m_run.reset();
    }
}

void RecognitionWarmUp::drop()
{
    if (auto run = std::exchange(m_run, {}))
        run->dropped = true;
    m_ready = false;
}

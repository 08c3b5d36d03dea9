#include "RecognitionAudioPath.h"

#include "AudioCapture.h"
#include "Delay.h"
#include "Log.h"
#include "Scheduler.h"

RecognitionAudioPath::RecognitionAudioPath(AudioCapture &audio, RealtimeASRConnection &connection,
                                           Scheduler &scheduler, const RealtimeASRTimings &timings,
                                           std::function<Route()> route)
    : m_audio(audio)
    , m_connection(connection)
    , m_route(std::move(route))
    , m_scheduler(scheduler)
    , m_timings(timings)
{
    connect(&m_audio, &AudioCapture::pcmReady, this, &RecognitionAudioPath::onPcm);
    connect(&m_audio, &AudioCapture::configurationChanged, this, [this] {
        if (m_route() == Route::Send)
            restartOnNewDevice();
    });
}

void RecognitionAudioPath::onPcm(const QByteArray &pcm)
{
    const Route route = m_route();
    if (route == Route::Drop)
        return;
    if (route == Route::Send)
        m_connection.sendAudio(pcm);
    if (route != Route::Hold)
        Q_EMIT kept(pcm);
    if (route != Route::Hold && route != Route::KeepAndHold)
        return;
    if (m_preRoll.append(pcm) && !std::exchange(m_preRollTrimmed, true)) {
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 录音开始前的音频超过 %1 ms，只保留最近的 %1 ms")
                      .arg(kPreRollBytes / kBytesPerMs));
    }
}

bool RecognitionAudioPath::isRunning() const
{
    return m_audio.isRunning();
}

QCoro::Task<VoidResult> RecognitionAudioPath::start()
{
    Log::line(QStringLiteral("🔧 [RealtimeASR] 设置音频引擎..."));
    for (int attempt = 1;; ++attempt) {
        VoidResult started = co_await m_audio.start();
        if (started) {
            Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已启动")
                      + (attempt >= 2 ? QStringLiteral("（第%1次尝试）").arg(attempt) : QString()));
            co_return started;
        }
        m_audio.stop();
        if (attempt >= kSetupAttempts)
            co_return started;
        Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频引擎启动失败（第%1次），%2ms 后重试...")
                      .arg(attempt)
                      .arg(m_timings.audioRetryDelay.count()));
        co_await delay(m_scheduler, m_timings.audioRetryDelay);
    }
}

void RecognitionAudioPath::stop()
{
    Log::line(QStringLiteral("⏹️ [RealtimeASR] 停止音频引擎..."));
    ++m_restartId;
    m_audio.stop();
}

void RecognitionAudioPath::finish()
{
    m_audio.finish();
}

QCoro::Task<> RecognitionAudioPath::startForKeeping(std::function<bool()> stillWanted,
                                                    std::function<void()> unwanted)
{
    const VoidResult started = co_await start();
    if (!stillWanted()) {
        if (started)
            unwanted();
        co_return;
    }
    if (!started)
        Log::line(QStringLiteral("❌ [RealtimeASR] 音频引擎启动失败，本次音频无法保留：") + started.error().description);
}

void RecognitionAudioPath::restartOnNewDevice()
{
    Log::line(QStringLiteral("⚠️ [RealtimeASR] 音频设备配置变更，重新启动音频引擎..."));
    m_audio.stop(); // the keep-alive and the level are left alone
    restart(++m_restartId);
}

QCoro::Task<> RecognitionAudioPath::restart(quint64 restartId)
{
    co_await delay(m_scheduler, m_timings.audioRestartDelay);
    if (restartId != m_restartId || m_route() != Route::Send)
        co_return;
    const VoidResult restarted = co_await start();
    if (restarted)
        Log::line(QStringLiteral("✅ [RealtimeASR] 音频引擎已在新设备上重启，继续录音"));
    else
        Log::line(QStringLiteral("❌ [RealtimeASR] 设备变更后音频引擎重启失败: ") + restarted.error().description);
}

void RecognitionAudioPath::sendHeld(bool toTask, bool keep)
{
    const QList<QByteArray> buffers = m_preRoll.take();
    m_preRollTrimmed = false;
    qsizetype bytes = 0;
    for (const QByteArray &pcm : buffers) {
        if (toTask)
            m_connection.sendAudio(pcm);
        if (keep)
            Q_EMIT kept(pcm);
        bytes += pcm.size();
    }
    if (!buffers.isEmpty())
        Log::line(QStringLiteral("⏪ [RealtimeASR] 先发送按键后已录下的 %1 ms 音频").arg(bytes / kBytesPerMs));
}

void RecognitionAudioPath::discardHeld()
{
    m_preRoll.clear();
    m_preRollTrimmed = false;
}

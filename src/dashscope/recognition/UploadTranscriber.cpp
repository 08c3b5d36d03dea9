#include "UploadTranscriber.h"

#include "AudioCapture.h"
#include "CompatibleMode.h"
#include "Delay.h"
#include "Log.h"
#include "TranscriptionRequest.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>

UploadTranscriber::UploadTranscriber(HostKeyProvider hostKeys, AudioCapture &audio, std::chrono::milliseconds tail,
                                     std::chrono::milliseconds boundBase, QObject *parent)
    : SpeechRecognizer(parent),
      m_hostKeys(std::move(hostKeys)),
      m_audio(audio),
      m_tail(tail),
      m_boundBase(boundBase),
      m_network(new QNetworkAccessManager(this))
{
    QObject::connect(&audio, &AudioCapture::pcmReady, this, &UploadTranscriber::onPcm);
    QObject::connect(&audio, &AudioCapture::levelChanged, this, [this](float level) {
        if (m_phase == Phase::Recording)
            setAudioLevel(level);
    });
}

UploadTranscriber::~UploadTranscriber() = default;

void UploadTranscriber::warmUp(const AppConfig &config)
{
    if (m_phase != Phase::Idle)
        return;
    m_config = config;
    m_phase = Phase::Holding;
    m_preRoll.clear();
    openForWarmUp(++m_takeId);
}

QCoro::Task<> UploadTranscriber::openForWarmUp(quint64 take)
{
    if (m_audio.isRunning())
        co_return;
    const VoidResult opened = co_await m_audio.start();
    if (!opened && take == m_takeId && m_phase == Phase::Holding) {
        Log::line(QStringLiteral("⚠️ [转写] 预先打开麦克风失败：") + opened.error().description);
        m_phase = Phase::Idle;
    } else if (take != m_takeId || m_phase == Phase::Idle) {
        m_audio.stop(); // cancelled while it opened
    }
}

void UploadTranscriber::cancelWarmUp()
{
    if (m_phase != Phase::Holding)
        return;
    ++m_takeId;
    closeMicrophone();
}

QCoro::Task<VoidResult> UploadTranscriber::connect(AppConfig config)
{
    m_config = config;
    co_return Ok{};
}

QCoro::Task<VoidResult> UploadTranscriber::startRecognition(AppConfig config)
{
    m_config = config;
    setFailure({});
    setConnectionTroubled(false);
    setCurrentTranscript(QString());
    setFinalTranscript(QString());
    const quint64 take = m_phase == Phase::Holding ? m_takeId : ++m_takeId;
    if (!m_audio.isRunning()) {
        const VoidResult started = co_await m_audio.start();
        if (!started) {
            if (take == m_takeId)
                closeMicrophone();
            co_return started;
        }
    }
    if (take != m_takeId) { // cancelled while the microphone opened
        co_return ServiceError{QStringLiteral("Cancelled"), -999, QStringLiteral("cancelled")};
    }
    m_phase = Phase::Recording;
    m_take = std::exchange(m_preRoll, {});
    if (!m_take.isEmpty())
        Q_EMIT takeAudio(m_take);
    setRecording(true);
    Log::line(QStringLiteral("🎤 [转写] 开始录音，松开按键后发送到 %1（先录下的 %2 ms 一并发送）")
                  .arg(config.transcriptionBaseURL)
                  .arg(m_take.size() / kBytesPerMs));
    co_return Ok{};
}

void UploadTranscriber::onPcm(const QByteArray &pcm)
{
    if (m_phase == Phase::Holding) {
        m_preRoll += pcm;
        if (m_preRoll.size() > kPreRollBytes)
            m_preRoll.remove(0, m_preRoll.size() - kPreRollBytes);
    } else if (m_phase == Phase::Recording && m_take.size() < kMaxTakeBytes) {
        m_take += pcm;
        Q_EMIT takeAudio(pcm);
    }
}

QCoro::Task<> UploadTranscriber::stopRecognition()
{
    if (m_phase != Phase::Recording) {
        closeMicrophone();
        setRecording(false);
        co_return;
    }
    const quint64 take = m_takeId;
    if (m_tail.count() > 0)
        co_await delay(m_tail);
    if (take != m_takeId)
        co_return; // cancelled during the tail
    m_audio.finish(); // the unfinished last buffer comes in too
    m_phase = Phase::Idle;
    setRecording(false);
    const QByteArray audio = std::exchange(m_take, {});
    const AppConfig config = m_config;
    if (audio.isEmpty())
        co_return;
    const std::optional<QUrl> url =
        CompatibleMode::endpointUrl(config.transcriptionBaseURL, QStringLiteral("/audio/transcriptions"));
    if (!url) {
        setConnectionTroubled(true);
        setFailure(CompatibleMode::invalidUrlError(config.transcriptionBaseURL).description);
        co_return;
    }
    // Only the key stored for this host: the service's own never goes to another company's server.
    const ApiKeyProvider noFallback;
    const QUrl target = *url;
    const std::optional<QString> key = co_await keyForUrl(target, m_hostKeys, noFallback);
    const std::function<void(QNetworkReply *)> track = [this](QNetworkReply *reply) { m_inFlight = reply; };
    const QUrl endpoint = *url;
    const Result<QString> words =
        co_await TranscriptionRequest::send(*m_network, endpoint, key, audio, config, m_boundBase, track);
    m_inFlight.clear();
    if (take != m_takeId)
        co_return; // cancelled while it was sent
    if (!words) {
        Log::line(QStringLiteral("❌ [转写] ") + words.error().description);
        setConnectionTroubled(true);
        setFailure(words.error().description);
        co_return;
    }
    Log::line(QStringLiteral("✅ [转写] 识别结果：\"%1\"").arg(words.value().left(50)));
    setFinalTranscript(words.value());
    setCurrentTranscript(words.value());
}

void UploadTranscriber::cancelRecognition()
{
    Log::line(QStringLiteral("🚫 [转写] 取消，丢弃本次录音"));
    ++m_takeId;
    if (m_inFlight)
        m_inFlight->abort(); // its answer would be dropped anyway
    closeMicrophone();
    setRecording(false);
    setCurrentTranscript(QString());
    setFinalTranscript(QString());
}

void UploadTranscriber::closeMicrophone()
{
    m_phase = Phase::Idle;
    m_preRoll.clear();
    m_take.clear();
    m_audio.stop();
}

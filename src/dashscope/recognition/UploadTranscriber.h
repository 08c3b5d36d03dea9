#pragma once

#include "ApiKeyProvider.h"
#include "SpeechRecognizer.h"

#include <QByteArray>
#include <QPointer>

#include <chrono>

class AudioCapture;
class QNetworkAccessManager;
class QNetworkReply;

// Recognition by a server of the OpenAI-style transcription interface: the
// microphone records the take (from the key going down, up to 1.5 s before
// the long press, to a short tail after the release), and once the key is
// let go the whole take goes up in one request (TranscriptionRequest). Nothing
// is sent before the release. The take's audio is handed over as it is heard
// (kept for a retry); a refused or failed request leaves no words, marks the
// take troubled and says why (failure()).
class UploadTranscriber final : public SpeechRecognizer
{
    Q_OBJECT

public:
    // 16 kHz mono 16-bit PCM.
    static constexpr qsizetype kBytesPerMs = 32;
    static constexpr qsizetype kPreRollBytes = 1500 * kBytesPerMs;
    // The longest take sent: ten minutes (19 MB as WAV, under the servers'
    // usual 25 MB); what comes later is not recorded.
    static constexpr qsizetype kMaxTakeBytes = qsizetype(600) * 1000 * kBytesPerMs;

    // The capture is shared with the realtime recogniser (one records at a
    // time); hostKeys gives the key stored for the server's host.
    // boundBase: the request's bound before the audio's share (TranscriptionRequest::boundFor).
    UploadTranscriber(HostKeyProvider hostKeys, AudioCapture &audio, std::chrono::milliseconds tail,
                      std::chrono::milliseconds boundBase, QObject *parent = nullptr);
    ~UploadTranscriber() override;

    bool isWarmedUp() const override { return m_phase == Phase::Holding; }
    bool isWarmingUp() const override { return false; }
    // Opens the microphone and keeps what it hears until the start.
    void warmUp(const AppConfig &config) override;
    void cancelWarmUp() override;
    // There is nothing to connect to before the release.
    QCoro::Task<VoidResult> connect(AppConfig config) override;
    QCoro::Task<VoidResult> startRecognition(AppConfig config) override;
    // Records the tail, then sends the take and publishes its words.
    QCoro::Task<> stopRecognition() override;
    void cancelRecognition() override;
    // Recording never waits for a server here.
    void recordWithoutService() override {}

private:
    enum class Phase { Idle, Holding, Recording };
    QCoro::Task<> openForWarmUp(quint64 take);
    void onPcm(const QByteArray &pcm);
    void closeMicrophone();

    HostKeyProvider m_hostKeys;
    AudioCapture &m_audio;
    std::chrono::milliseconds m_tail;
    std::chrono::milliseconds m_boundBase;
    QNetworkAccessManager *m_network;
    // The request under way: a cancelled take's is aborted, not waited for.
    QPointer<QNetworkReply> m_inFlight;
    Phase m_phase = Phase::Idle;
    QByteArray m_preRoll;
    QByteArray m_take;
    AppConfig m_config;
    // Each take's number: an answer for a cancelled take is dropped.
    quint64 m_takeId = 0;
};

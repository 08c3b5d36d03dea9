#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "DashScopeEndpoints.h"
#include "OneShot.h"
#include "PreRollBuffer.h"
#include "RealtimeASRConnection.h"
#include "RecordingState.h"
#include "Scheduler.h"
#include "ServiceError.h"
#include "SpeechRecognizer.h"
#include "TranscriptAssembler.h"

#include <QObject>
#include <QUrl>

#include <QCoroTask>

#include <memory>
#include <optional>

class AudioCapture;

// Streaming speech recognition, as the rest of the program uses it: the
// microphone streams into a recognition task on the service while the user
// records; the transcript is published as it grows and once it is final.
//
// It drives one key press: a warm-up while the key is still held, the start,
// the stop, keep-alive pings, reconnection when the connection drops during a
// recording, and a restart of the capture when the microphone changes. The
// task connection (RealtimeASRConnection) and the transcript
// (TranscriptAssembler) are jobs of their own. Everything runs on the main
// thread's event loop; delays and time-outs come from the scheduler.
class RealtimeASRService : public SpeechRecognizer
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(RecordingState recordingState READ recordingState NOTIFY recordingStateChanged)

public:
    using Timings = RealtimeASRTimings;
    static constexpr int kMaxReconnectAttempts = 5;
    static constexpr int kAudioSetupAttempts = 5;
    // 16 kHz 16-bit mono, the audio the service takes.
    static constexpr qsizetype kBytesPerMs = 32;
    // What is heard from the key going down until the recording starts is
    // kept, up to this much (1.5 s), and sent first.
    static constexpr qsizetype kPreRollBytes = 1500 * kBytesPerMs;

    // Where a recording stands.
    enum class Phase {
        Idle,         // not recording: no audio goes up
        Recording,    // audio streams into the running task
        Reconnecting, // the user still records, the task is being replaced; audio waits
        Offline,      // the task could not start: audio is only kept
    };

    // The scheduler defaults to the Qt event loop. An empty endpoint: each
    // take connects where its settings (and $QUILLWREN_WS_URL) say.
    RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint = {}, Timings timings = {},
                       std::unique_ptr<Scheduler> scheduler = {}, QObject *parent = nullptr);
    ~RealtimeASRService() override;

    bool isConnected() const { return m_connection->isConnected(); }
    RecordingState recordingState() const { return m_recordingState; }
    bool isWarmedUp() const override { return m_isWarmedUp; }
    bool isWarmingUp() const override { return m_warmUp != nullptr; }
    Phase phase() const { return m_phase; }
    const QUrl &endpoint() const { return m_connection->endpoint(); }

    // Connects and starts the audio engine in the background, while the key
    // is still held; does nothing when a warm-up runs or is ready.
    void warmUp(const AppConfig &config) override;
    // Drops a running or ready warm-up and its connection.
    void cancelWarmUp() override;
    // Opens a new connection and returns once the service has started the task.
    QCoro::Task<VoidResult> connect(AppConfig config) override;
    // Streams the microphone into the running task.
    QCoro::Task<VoidResult> startRecognition(AppConfig config) override;
    // Records for the tail, sends what is left of the audio, finishes the
    // task and waits (bounded) for the final transcript, which it publishes
    // as finalTranscript.
    QCoro::Task<> stopRecognition() override;
    void cancelRecognition() override;
    void recordWithoutService() override;
    // Closes everything and releases every wait.
    void disconnect();

    // The error a wait gets when its connection is abandoned.
    static ServiceError cancelledError() { return RealtimeASRConnection::cancelledError(); }

Q_SIGNALS:
    void isConnectedChanged(bool connected);
    void recordingStateChanged(const RecordingState &state);

private:
    struct WarmUp;

    QCoro::Task<> runWarmUp(AppConfig config, std::shared_ptr<WarmUp> warmUp);
    // Drops the connection and the recording.
    void abandonRecording();
    // Marks a running warm-up cancelled, forgets a ready one, then abandons.
    void dropWarmUpAndRecording();

    void onResult(const QString &text, bool sentenceEnd);
    void onTaskEnded(const std::optional<QString> &finalText);
    void onConnectionLost(const ServiceError &error);
    void attemptReconnect(const AppConfig &config, qint64 generation);
    QCoro::Task<> runReconnect(AppConfig config, qint64 generation);

    void startKeepAlive();
    void stopKeepAlive();

    QCoro::Task<VoidResult> setupAudioEngine();
    void stopAudioEngine();
    void onAudio(const QByteArray &pcm);
    // Sends what the microphone heard before the recording started, in
    // order (and hands it over as the take's audio when keep is set).
    void sendPreRoll(bool keep);
    void discardPreRoll();
    QCoro::Task<> runWithoutService(quint64 take);
    void handleAudioConfigurationChange();
    QCoro::Task<> restartAudioEngine();

    void setRecordingState(const RecordingState &state);

    AudioCapture &m_audio;
    Timings m_timings;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<RealtimeASRConnection> m_connection; // after the scheduler: it uses it to the end

    RecordingState m_recordingState;

    Phase m_phase = Phase::Idle;
    TranscriptAssembler m_transcript;
    std::optional<AppConfig> m_currentConfig; // of the recording, for reconnection
    int m_reconnectAttempts = 0;
    bool m_isWarmedUp = false;
    PreRollBuffer m_preRoll{kPreRollBytes};
    bool m_preRollTrimmed = false;
    // A warm-up failed while the take's audio is to be kept: the microphone
    // stays open and fills the pre-roll until the start or a cancellation.
    bool m_holdingAudio = false;
    bool m_keepsAudio = true; // the take's settings keep its audio
    std::shared_ptr<WarmUp> m_warmUp;
    std::unique_ptr<ScheduledTimer> m_keepAlive;
    // Counts cancelled takes: a start that was waiting when its take was
    // cancelled must not begin recording afterwards.
    quint64 m_takeId = 0;
    // Device changes come in bursts (the server and Qt may both report one):
    // only the latest pending restart runs, and a stop cancels it.
    quint64 m_audioRestartId = 0;
};

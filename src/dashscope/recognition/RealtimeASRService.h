#pragma once

#include "RealtimeASRConnection.h"
#include "RecognitionAudioPath.h"
#include "RecognitionPhase.h"
#include "RecognitionReconnect.h"
#include "RecognitionWarmUp.h"
#include "RecordingState.h"
#include "Scheduler.h"
#include "SpeechRecognizer.h"
#include "TranscriptAssembler.h"

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
// task connection (RealtimeASRConnection), the microphone and its pre-roll
// (RecognitionAudioPath), the warm-up (RecognitionWarmUp), the reconnection
// (RecognitionReconnect) and the transcript (TranscriptAssembler) are jobs of
// their own. Everything runs on the main thread's event loop; delays and
// time-outs come from the scheduler.
class RealtimeASRService : public SpeechRecognizer
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(RecordingState recordingState READ recordingState NOTIFY recordingStateChanged)

public:
    using Timings = RealtimeASRTimings;
    using Phase = RecognitionPhase;

    // The scheduler defaults to the Qt event loop. An empty endpoint: each
    // take connects where its settings (and $QUILLWREN_WS_URL) say.
    RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint = {}, Timings timings = {},
                       std::unique_ptr<Scheduler> scheduler = {}, QObject *parent = nullptr);
    ~RealtimeASRService() override;

    bool isConnected() const { return m_connection->isConnected(); }
    RecordingState recordingState() const { return m_recordingState; }
    bool isWarmedUp() const override { return m_warmUp.isReady(); }
    bool isWarmingUp() const override { return m_warmUp.isRunning(); }
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
    // Drops the connection and the recording.
    void abandonRecording();
    // Marks a running warm-up cancelled, forgets a ready one, then abandons.
    void dropWarmUpAndRecording();

    void onResult(const QString &text, bool sentenceEnd);
    void onTaskEnded(const std::optional<QString> &finalText);
    void onConnectionLost(const ServiceError &error);
    // A new task for a reconnection, with the microphone running.
    QCoro::Task<VoidResult> reconnect(AppConfig config);

    void stopAudioEngine();
    // Stops the microphone and drops what it held.
    void releaseMicrophone();
    RecognitionAudioPath::Route route() const;
    // Sends what the microphone heard before the recording started, in
    // order (and hands it over as the take's audio when keep is set).
    void sendPreRoll(bool keep);

    void setRecordingState(const RecordingState &state);

    AudioCapture &m_audio;
    Timings m_timings;
    std::unique_ptr<Scheduler> m_scheduler;
    std::unique_ptr<RealtimeASRConnection> m_connection; // after the scheduler: it uses it to the end
    RecognitionAudioPath m_audioPath;

    RecordingState m_recordingState;

    Phase m_phase = Phase::Idle;
    TranscriptAssembler m_transcript;
    std::optional<AppConfig> m_currentConfig; // of the recording, for reconnection
    RecognitionReconnect m_reconnect;
    RecognitionWarmUp m_warmUp;
    // A warm-up failed while the take's audio is to be kept: the microphone
    // stays open and fills the pre-roll until the start or a cancellation.
    bool m_holdingAudio = false;
    bool m_keepsAudio = true; // the take's settings keep its audio
    // Counts cancelled takes: a start that was waiting when its take was
    // cancelled must not begin recording afterwards.
    quint64 m_takeId = 0;
};

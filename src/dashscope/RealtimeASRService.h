#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "DashScopeEndpoints.h"
#include "OneShot.h"
#include "RecordingState.h"
#include "Scheduler.h"
#include "ServiceError.h"

#include <QAbstractSocket>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <QCoroTask>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class AudioCapture;
class QTimer;
class QWebSocket;

// The recogniser's waits and delays; tests shorten them.
struct RealtimeASRTimings
{
    std::chrono::milliseconds runTaskDelay{300};
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds finishTimeout{5000};
    std::chrono::milliseconds pingInterval{15000};
    std::chrono::milliseconds reconnectDelay{300};
    std::chrono::milliseconds audioRetryDelay{150};
    std::chrono::milliseconds audioRestartDelay{300};
};

// Streaming speech recognition over the service's duplex WebSocket: one
// connection carries one recognition task; microphone audio streams into it
// while recording; the transcript is assembled from the service's results.
//
// Every connection has a generation (connectionId). Each callback, timer and
// delayed action carries the generation it was made for and does nothing once
// the recogniser has moved on, which is what makes superseded and cancelled
// connections harmless. Each wait (for "task-started", for "task-finished")
// is released exactly once, by whichever of event, time-out or failure comes
// first. Everything runs on the main thread's event loop.
class RealtimeASRService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected NOTIFY isConnectedChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(QString currentTranscript READ currentTranscript NOTIFY currentTranscriptChanged)
    Q_PROPERTY(QString finalTranscript READ finalTranscript NOTIFY finalTranscriptChanged)
    Q_PROPERTY(RecordingState recordingState READ recordingState NOTIFY recordingStateChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)

public:
    using Timings = RealtimeASRTimings;
    static constexpr int kMaxReconnectAttempts = 5;
    static constexpr auto kModel = "fun-asr-realtime";

    RealtimeASRService(ApiKeyProvider apiKey, AudioCapture &audio, QUrl endpoint = DashScopeEndpoints::fromEnvironment().recognition(),
                       Timings timings = {}, QObject *parent = nullptr);
    ~RealtimeASRService() override;

    bool isConnected() const { return m_isConnected; }
    bool isRecording() const { return m_isRecording; }
    QString currentTranscript() const { return m_currentTranscript; }
    QString finalTranscript() const { return m_finalTranscript; }
    RecordingState recordingState() const { return m_recordingState; }
    float audioLevel() const { return m_audioLevel; }
    bool isWarmedUp() const { return m_isWarmedUp; }
    bool isWarmingUp() const { return m_warmUp != nullptr; }
    const QUrl &endpoint() const { return m_endpoint; }

    // Connects and starts the audio engine in the background, while the key
    // is still held; does nothing when a warm-up runs or is ready.
    void warmUp(const AppConfig &config);
    // Drops a running or ready warm-up and its connection.
    void cancelWarmUp();
    // Opens a new connection and returns once the service has started the task.
    QCoro::Task<VoidResult> connect(AppConfig config);
    // Streams the microphone into the running task.
    QCoro::Task<VoidResult> startRecognition(AppConfig config);
    // Finishes the task and waits (bounded) for the final transcript, which it
    // publishes as finalTranscript.
    QCoro::Task<> stopRecognition();
    // Closes everything and releases every wait.
    void disconnect();

    // The error a wait gets when its connection is abandoned.
    static ServiceError cancelledError();

Q_SIGNALS:
    void isConnectedChanged(bool connected);
    void isRecordingChanged(bool recording);
    void currentTranscriptChanged(const QString &text);
    void finalTranscriptChanged(const QString &text);
    void recordingStateChanged(const RecordingState &state);
    void audioLevelChanged(float level);

private:
    struct WarmUp;

    // Connection (RealtimeASRService.cpp)
    void openSocket(qint64 generation, const QString &key);
    void closeSocket();
    void sendRunTask(const QString &model);
    void sendFinishTask();
    void onText(qint64 generation, const QString &text);
    void onBinary(qint64 generation, const QByteArray &data);
    void onSocketFailure(qint64 generation);
    void handleMessage(const QByteArray &text);
    void handleTaskStarted();
    void handleResult(const QJsonObject &payload);
    void handleTaskFinished(const QJsonObject &payload);
    void handleTaskFailed(const std::optional<QJsonObject> &header);
    void keepReceiving();
    QString combinedTranscript(const QString &segment) const;
    void resumeConnectContinuation(std::optional<ServiceError> error);
    void resumeTaskFinishedContinuation(const QString &text);
    void abandonConnectWaiter();
    // Drops the current connection and recording: a new generation, gates
    // closed, engine stopped, both waits released, socket closed.
    void abandonConnection();
    void resetConnectionFlags();
    void sendAudio(const QByteArray &pcm);

    // Control (RealtimeASRControl.cpp)
    QCoro::Task<> runWarmUp(AppConfig config, std::shared_ptr<WarmUp> warmUp);
    void attemptReconnect(const AppConfig &config, qint64 generation);
    QCoro::Task<> runReconnect(AppConfig config, qint64 generation);
    void startPingTimer();
    QCoro::Task<VoidResult> setupAudioEngine();
    void handleAudioConfigurationChange();
    QCoro::Task<> restartAudioEngine();
    void stopAudioEngine();

    void setConnected(bool connected);
    void setRecording(bool recording);
    void setCurrentTranscript(const QString &text);
    void setFinalTranscript(const QString &text);
    void setRecordingState(const RecordingState &state);
    void setAudioLevel(float level);

    ApiKeyProvider m_apiKey;
    AudioCapture &m_audio;
    QUrl m_endpoint;
    Timings m_timings;
    QtScheduler m_scheduler;

    bool m_isConnected = false;
    bool m_isRecording = false;
    QString m_currentTranscript;
    QString m_finalTranscript;
    RecordingState m_recordingState;
    float m_audioLevel = 0;

    QWebSocket *m_socket = nullptr;
    // The connection settings (endpoint, time-outs), made on the first connect
    // and kept until disconnect().
    std::optional<QNetworkRequest> m_session;
    bool m_receiveArmed = false;
    std::optional<ServiceError> m_socketError; // the first error of the current socket
    bool m_isRunning = false;
    bool m_isAudioStreaming = false;
    // A recording is active: set by start, cleared by every stop path,
    // cancelWarmUp() and disconnect(). Reconnection goes on only while it is set.
    bool m_recordingActive = false;
    std::shared_ptr<OneShot<QString>> m_taskFinishedWaiter;
    std::shared_ptr<OneShot<VoidResult>> m_connectWaiter;
    bool m_hasResumedConnect = false;
    bool m_hasResumedTaskFinished = false;
    qint64 m_connectionId = 0;
    std::unique_ptr<ScheduledTimer> m_taskFinishedTimeout;
    std::unique_ptr<ScheduledTimer> m_connectTimeout;
    std::unique_ptr<ScheduledTimer> m_runTaskDelay;
    bool m_isWarmedUp = false;
    std::shared_ptr<WarmUp> m_warmUp;
    QString m_accumulatedTranscript;
    QString m_segmentTranscript;
    QString m_lastCommittedSentence;
    std::optional<AppConfig> m_currentConfig;
    bool m_isReconnecting = false;
    int m_reconnectAttempts = 0;
    std::unique_ptr<QTimer> m_pingTimer;
    bool m_pingAnswered = true;
    QString m_taskId;
    bool m_taskStarted = false;
    bool m_taskFinished = false;
    // Device changes come in bursts (the server and Qt may both report one):
    // only the latest pending restart runs, and a stop cancels it.
    quint64 m_audioRestartId = 0;
};

#pragma once

#include "ApiKeyProvider.h"
#include "OneShot.h"
#include "RealtimeASRTimings.h"
#include "RecognitionSocket.h"
#include "RecognitionTaskOptions.h"

#include <QNetworkRequest>
#include <QUrl>

#include <memory>
#include <optional>

class ScheduledTimer;
class Scheduler;

// One recognition task at a time on the service's duplex WebSocket: the
// socket, its frames, and the two waits of a task (for "task-started", for
// "task-finished").
//
// Every connection has a generation. Each socket callback and timer carries
// the generation it was made for and does nothing once a newer connection
// exists, which is what makes superseded and abandoned connections harmless.
// Each wait is released exactly once, by whichever of event, time-out or
// failure comes first; a wait that is given up is released too, so that no
// coroutine stays suspended.
class RealtimeASRConnection : public QObject
{
    Q_OBJECT

public:
    static constexpr auto kModel = "fun-asr-realtime";
    // A handshake that gets no answer for this long fails.
    static constexpr std::chrono::milliseconds kHandshakeTimeout{30000};

    // The scheduler must outlive the connection. An empty endpoint: each
    // connection goes where the settings it is opened with say.
    RealtimeASRConnection(ApiKeyProvider apiKey, QUrl endpoint, Scheduler &scheduler, const RealtimeASRTimings &timings,
                          QObject *parent = nullptr);
    ~RealtimeASRConnection() override;

    const QUrl &endpoint() const { return m_endpoint; }
    qint64 generation() const { return m_generation; }
    bool isConnected() const { return m_isConnected; }
    bool taskStarted() const { return m_taskStarted; }
    bool taskFinished() const { return m_taskFinished; }
    // The task runs and has not been told to finish: audio goes up.
    bool acceptsAudio() const { return m_taskStarted && !m_taskFinished && !m_finishSent; }
    // Someone waits for the end of the task.
    bool isFinishing() const { return m_finishWaiter != nullptr; }

    // A new generation: drops the previous connection and releases its waits,
    // reads the key, opens the socket, sends run-task after the run-task delay
    // and returns once the service has started the task (or why not). The
    // settings give the address (unless fixed) and the language.
    QCoro::Task<VoidResult> open(AppConfig config);
    // Sends finish-task and waits, bounded, for the end of the task: the
    // transcript handed to completeFinish(), or nothing when the task ended
    // any other way (the caller keeps what it has).
    QCoro::Task<std::optional<QString>> finish();
    // Ends the finish wait with the task's final transcript.
    void completeFinish(const QString &transcript);

    // Audio goes up only into a running task on a connected socket.
    void sendAudio(const QByteArray &pcm);
    // Keep-alive: a ping, after saying so when the last one got no pong.
    void ping();
    // Pings every ping interval until stopped.
    void startKeepAlive();
    void stopKeepAlive();

    // Releases both waits after a failure nothing will repair.
    void fail(const ServiceError &error);
    // Gives the connection up: a new generation, both waits released, the
    // socket closed, the task forgotten.
    void abandon();
    // Abandons the connection and forgets its settings and task.
    void close();

    // The error a wait gets when its connection is abandoned.
    static ServiceError cancelledError();

Q_SIGNALS:
    void isConnectedChanged(bool connected);
    void resultReceived(const QString &text, bool sentenceEnd);
    // The service ended the task, with the final text it sent, if any.
    void taskEnded(const std::optional<QString> &finalText);
    void taskFailed(const QString &message);
    // The socket of the current generation stopped working.
    void connectionLost(const ServiceError &error);

private:
    void openSocket(qint64 generation, const QString &key);
    void closeSocket();
    void sendRunTask();
    void sendFinishTask();
    void onText(qint64 generation, const QString &text);
    void onBinary(qint64 generation, const QByteArray &data);
    void onSocketFailure(qint64 generation, const ServiceError &error);
    void handleMessage(const QByteArray &text);
    void releaseConnect(std::optional<ServiceError> error);
    void releaseFinish(const std::optional<QString> &transcript);
    void resetTask();
    void setConnected(bool connected);

    ApiKeyProvider m_apiKey;
    QUrl m_fixedEndpoint;
    // The current connection's.
    QUrl m_endpoint;
    RecognitionTaskOptions m_options{QLatin1String(kModel)};
    Scheduler &m_scheduler;
    const RealtimeASRTimings &m_timings;

    qint64 m_generation = 0;
    RecognitionSocket *m_socket = nullptr;
    // The connection settings (endpoint, time-outs), made on the first open
    // and kept until close().
    std::optional<QNetworkRequest> m_session;
    bool m_receiveArmed = false;
    bool m_isConnected = false;

    QString m_taskId;
    bool m_taskStarted = false;
    bool m_taskFinished = false;
    bool m_finishSent = false;
    std::shared_ptr<OneShot<VoidResult>> m_connectWaiter;
    std::shared_ptr<OneShot<std::optional<QString>>> m_finishWaiter;
    std::unique_ptr<ScheduledTimer> m_runTaskDelay;
    std::unique_ptr<ScheduledTimer> m_connectTimeout;
    std::unique_ptr<ScheduledTimer> m_finishTimeout;
    std::unique_ptr<ScheduledTimer> m_keepAlive;
};

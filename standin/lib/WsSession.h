#pragma once

#include "AudioAnalysis.h"
#include "RecognitionResults.h"
#include "Scenario.h"
#include "WebSocketFrames.h"

#include <QJsonObject>
#include <QObject>

class QTcpSocket;
class StandinServer;

// One WebSocket connection of the inference endpoint. It runs one task at a
// time, recognition ("asr") or synthesis ("tts"), checks every frame the
// client sends against the task's wire format and ordering rules, answers as
// the scenario (taken when the task starts) says, and records every frame.
class WsSession : public QObject
{
    Q_OBJECT

public:
    WsSession(QTcpSocket *socket, StandinServer &server, int connectionId, const QByteArray &leftover,
              QObject *parent);

private:
    enum class Kind { None, Recognition, Synthesis };
    enum class State { Idle, Starting, Running, Finishing };

    void readFrames(const QByteArray &bytes);
    void handleText(const QByteArray &text);
    void handleBinary(const QByteArray &data);
    void handleRunTask(const QJsonObject &frame);
    void handleContinueTask(const QJsonObject &frame);
    void handleFinishTask(const QJsonObject &frame);
    void startTask();
    void finishTask();
    void sendNextResults(bool all);
    void sendSynthesisAudio(const QString &text);

    void sendEvent(const QString &event, const QJsonObject &payload, const QJsonObject &headerExtra = {});
    void sendFrame(WebSocketFrames::Opcode opcode, const QByteArray &payload);
    void failTask(const QString &code, const QString &message);
    // The "task-failed" fault: its code and message, or InternalError and the given text.
    void failAsScripted(const QString &defaultMessage);
    void endTask();
    void closeAbruptly();
    void recordAudioSummary();
    void record(QJsonObject entry);
    const Fault &fault() const;
    // Runs the action after the delay unless the task has changed meanwhile.
    void later(int ms, std::function<void()> action);

    QTcpSocket *m_socket;
    StandinServer &m_server;
    int m_id;
    WebSocketFrames::Reader m_reader;
    Kind m_kind = Kind::None;
    State m_state = State::Idle;
    QString m_taskId;
    int m_taskGeneration = 0;
    RecognitionScript m_recognition;
    SynthesisScript m_synthesis;
    AudioAnalysis m_audio;
    RecognitionResults m_results;
    int m_resultsSent = 0;
    int m_framesSent = 0;
    int m_audioInFlight = 0; // synthesis chunks scheduled but not yet sent
    bool m_stalled = false;  // a scripted stall: the task never finishes
    bool m_finishRequested = false;
    bool m_closed = false;
};

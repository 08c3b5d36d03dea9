#pragma once

#include "PreRollBuffer.h"
#include "RealtimeASRConnection.h"
#include "ServiceError.h"

#include <QCoroTask>
#include <QObject>

#include <functional>

class AudioCapture;
class Scheduler;

// The recogniser's side of the microphone: starting it (a few tries, since
// an audio server may refuse an open right after a device change), stopping
// it, starting it again on a new device in the middle of a recording, and
// the audio heard before a task could take it (the pre-roll), held in order
// and bounded, and where each buffer goes: up to the running task, into the
// take's kept audio, into the pre-roll, or nowhere, as the recogniser's
// route says at the moment it arrives.
class RecognitionAudioPath : public QObject
{
    Q_OBJECT

public:
    enum class Route {
        Drop,        // no take wants it
        Hold,        // a key is held before the recording: kept for the task
        Send,        // recording: up to the task, and kept as the take's audio
        Keep,        // no service: kept as the take's audio only
        KeepAndHold, // a new task is on its way: kept, and sent to it once it runs
    };

    static constexpr int kSetupAttempts = 5;
    // 16 kHz 16-bit mono, the audio the service takes.
    static constexpr qsizetype kBytesPerMs = 32;
    // What is heard from the key going down until the recording starts is
    // kept, up to this much (1.5 s), and sent first.
    static constexpr qsizetype kPreRollBytes = 1500 * kBytesPerMs;

    // The capture, the connection, the scheduler and the timings must
    // outlive the path; route() is asked for every buffer.
    RecognitionAudioPath(AudioCapture &audio, RealtimeASRConnection &connection, Scheduler &scheduler,
                         const RealtimeASRTimings &timings, std::function<Route()> route);

    bool isRunning() const;
    // Starts the capture, trying again a few times before it gives up.
    QCoro::Task<VoidResult> start();
    // Stops the capture; a restart still waiting does not run.
    void stop();
    // Stops at the end of a recording, handing over the unfinished buffer.
    void finish();
    // Starts the capture for a take that records without the service; when
    // it has started, a take no longer wanted (stillWanted() false) gets
    // unwanted() called instead.
    QCoro::Task<> startForKeeping(std::function<bool()> stillWanted, std::function<void()> unwanted);

    // Sends everything held to the task (unless toTask is false), in order,
    // and hands it over as kept audio when keep is set; nothing is held after.
    void sendHeld(bool toTask, bool keep);
    void discardHeld();

Q_SIGNALS:
    // A buffer of the take's audio, whether or not the service took it.
    void kept(const QByteArray &pcm);

private:
    void onPcm(const QByteArray &pcm);
    // The device changed under a running recording: the capture stops now
    // and starts again shortly, unless it was stopped or the recording ended
    // meanwhile. Only the latest of a burst of changes restarts.
    void restartOnNewDevice();
    QCoro::Task<> restart(quint64 restartId);

    AudioCapture &m_audio;
    RealtimeASRConnection &m_connection;
    std::function<Route()> m_route;
    Scheduler &m_scheduler;
    const RealtimeASRTimings &m_timings;
    PreRollBuffer m_preRoll{kPreRollBytes};
    bool m_preRollTrimmed = false;
    // Device changes come in bursts (the server and Qt may both report one):
    // only the latest pending restart runs, and a stop cancels it.
    quint64 m_restartId = 0;
};

#pragma once

#include "AppConfig.h"
#include "RealtimeASRConnection.h"
#include "RecognitionPhase.h"
#include "ServiceError.h"

#include <QCoroTask>

#include <functional>

class Scheduler;
class TranscriptAssembler;

// Reconnection while the user still records: a new task after a short
// delay, up to five in a row, the sentence in progress committed first
// since a new task cannot know it. It moves the recording between Recording
// and Reconnecting; what a new task takes is the recogniser's to say through
// the hooks.
class RecognitionReconnect
{
public:
    static constexpr int kMaxAttempts = 5;

    struct Hooks
    {
        // A new task, with the microphone running.
        std::function<QCoro::Task<VoidResult>(AppConfig)> reconnect;
        // Audio flows into the new task again.
        std::function<void()> resumed;
    };

    // The phase, the connection, the transcript, the scheduler and the
    // timings must outlive this.
    RecognitionReconnect(RecognitionPhase &phase, RealtimeASRConnection &connection, TranscriptAssembler &transcript,
                         Scheduler &scheduler, const RealtimeASRTimings &timings, Hooks hooks);

    // A new recording, or one that ended: the count starts afresh.
    void reset() { m_attempts = 0; }
    // The connection of this generation was lost while recording: tries
    // again, or gives up and fails the connection's waits.
    void attempt(const AppConfig &config, qint64 generation);

private:
    QCoro::Task<> run(AppConfig config, qint64 generation);

    RecognitionPhase &m_phase;
    RealtimeASRConnection &m_connection;
    TranscriptAssembler &m_transcript;
    Scheduler &m_scheduler;
    const RealtimeASRTimings &m_timings;
    Hooks m_hooks;
    int m_attempts = 0;
};

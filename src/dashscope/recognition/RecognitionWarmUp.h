#pragma once

#include "AppConfig.h"
#include "OneShot.h"

#include <QCoroTask>

#include <functional>
#include <memory>

class QObject;
class RealtimeASRConnection;
class RecognitionAudioPath;

// The connection and the microphone made ready while the key is still held,
// so that a long press records at once. One runs at a time; one that is
// dropped (a tap, a cancel) ends without effect but for its hooks.
class RecognitionWarmUp
{
public:
    struct Hooks
    {
        // It failed; engineStarted says whether the microphone is open.
        std::function<void(bool engineStarted)> failed;
        // It was dropped while it ran, and nothing took its place.
        std::function<void()> dropped;
    };

    // The connection and the audio path must outlive it; waits belong to context.
    RecognitionWarmUp(RealtimeASRConnection &connection, RecognitionAudioPath &audioPath, QObject *context,
                      Hooks hooks);

    bool isRunning() const { return m_run != nullptr; }
    bool isReady() const { return m_ready; }

    // Opens the connection and the microphone together, in the background.
    void start(const AppConfig &config);
    // Waits until a running warm-up has ended, either way.
    QCoro::Task<> wait();
    // The recording takes the ready connection: true once, when there is one.
    bool take() { return std::exchange(m_ready, false); }
    // Marks a running warm-up dropped and forgets a ready one.
    void drop();

private:
    struct Run
    {
        explicit Run(QObject *context) : done(context) {}
        OneShot<bool> done; // released when the warm-up has ended, either way
        bool dropped = false;
    };

    QCoro::Task<> run(AppConfig config, std::shared_ptr<Run> run);

    RealtimeASRConnection &m_connection;
    RecognitionAudioPath &m_audioPath;
    QObject *m_context;
    Hooks m_hooks;
    std::shared_ptr<Run> m_run;
    bool m_ready = false;
};

#include "PcmPlaybackCapture.h"
#include "Log.h"
#include "RealtimeASRService.h"
#include "StandinServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

QCoro::Task<std::optional<QString>> keyOf(QString key)
{
    co_return key;
}

// The recogniser against an in-process stand-in on loopback that answers at once.
struct Rig
{
    Rig()
    {
        Log::setSink([](const QString &) {});
        server.listen();
        const QString key = server.scenario().apiKey;
        // The tail recorded after a release is a fixed wait, not overhead: left out.
        RealtimeASRTimings timings;
        timings.captureTail = std::chrono::milliseconds(0);
        asr = std::make_unique<RealtimeASRService>([key] { return keyOf(key); }, mic, server.webSocketUrl(), timings);
    }
    ~Rig()
    {
        asr.reset();
        Log::setSink({});
    }

    static void spinUntil(const std::function<bool()> &done)
    {
        while (!done())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }

    StandinServer server;
    PcmPlaybackCapture mic;
    AppConfig config;
    std::unique_ptr<RealtimeASRService> asr;
};

// From warmUp() to a connection whose task has started and whose audio engine
// runs. Includes the fixed 0.3 s wait before run-task.
void BM_WarmUpToReady(benchmark::State &state)
{
    Rig rig;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        rig.asr->warmUp(rig.config);
        Rig::spinUntil([&] { return rig.asr->isWarmedUp(); });
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
        rig.asr->cancelWarmUp();
    }
}
BENCHMARK(BM_WarmUpToReady)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// stopRecognition() when the service answers "task-finished" at once: the
// program's own overhead around one loopback round trip.
void BM_StopWithPromptService(benchmark::State &state)
{
    Rig rig;
    for (auto _ : state) {
        QCoro::waitFor(rig.asr->connect(rig.config));
        QCoro::waitFor(rig.asr->startRecognition(rig.config));
        QElapsedTimer timer;
        timer.start();
        QCoro::waitFor(rig.asr->stopRecognition());
        state.SetIterationTime(timer.nsecsElapsed() / 1e9);
    }
}
BENCHMARK(BM_StopWithPromptService)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

} // namespace

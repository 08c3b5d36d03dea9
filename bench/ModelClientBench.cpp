#include "DashScopeAPIService.h"
#include "Log.h"
#include "Mp3Synth.h"
#include "StandinServer.h"

#include <QElapsedTimer>

#include <benchmark/benchmark.h>

namespace {

QCoro::Task<std::optional<QString>> keyOf(QString key)
{
    co_return key;
}

QCoro::Task<int> drain(std::shared_ptr<ChatStream> stream)
{
    int increments = 0;
    while (co_await stream->next())
        ++increments;
    co_return increments;
}

struct Rig
{
    explicit Rig(const QByteArray &scenario)
    {
        Log::setSink([](const QString &) {});
        QString error;
        server.setScenario(*Scenario::fromJson(scenario, &error));
        server.listen();
        const QString key = server.scenario().apiKey;
        client = std::make_unique<DashScopeAPIService>([key] { return keyOf(key); }, DashScopeEndpoints{server.webSocketUrl()});
        config.compatibleBaseURL = server.compatibleBaseUrl();
    }
    ~Rig() { Log::setSink({}); }

    StandinServer server;
    std::unique_ptr<DashScopeAPIService> client;
    AppConfig config;
};

// A 400-character answer in 200 increments sent back to back on loopback:
// per increment, from the stand-in writing its event to the consumer taking it.
void BM_StreamedIncrement(benchmark::State &state)
{
    Rig rig(R"({"chat":{"defaultAnswer":")" + QByteArray(400, 'a') + R"(","chunkChars":2,"chunkDelayMs":0}})");
    int increments = 0;
    for (auto _ : state)
        increments += QCoro::waitFor(drain(rig.client->streamChat({{QStringLiteral("user"), QStringLiteral("q")}}, std::nullopt, rig.config)));
    state.SetItemsProcessed(increments);
}
BENCHMARK(BM_StreamedIncrement)->Unit(benchmark::kMillisecond)->Iterations(20);

// One synthesis of a short sentence, end to end on loopback.
void BM_SynthesisCall(benchmark::State &state)
{
    Rig rig("{}");
    for (auto _ : state)
        benchmark::DoNotOptimize(QCoro::waitFor(rig.client->synthesizeSpeech(QStringLiteral("你好，世界。"), rig.config)));
}
BENCHMARK(BM_SynthesisCall)->Unit(benchmark::kMillisecond)->Iterations(20);

// The stand-in's share of that call: making the MP3 of the same sentence.
void BM_StandinMp3OfTheSentence(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Mp3Synth::tone(QStringLiteral("你好，世界。")));
}
BENCHMARK(BM_StandinMp3OfTheSentence)->Unit(benchmark::kMillisecond);

} // namespace

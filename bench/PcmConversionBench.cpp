#include "PcmConversion.h"

#include <QtEndian>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// One captured buffer of 3200 frames, 48 kHz stereo Int16, to one 16 kHz
// Int16 data frame: channel 0, the session's resampler, the Int16 rule.
void BM_ConvertOneBuffer48kStereo(benchmark::State &state)
{
    QByteArray buffer(3200 * 2 * 2, Qt::Uninitialized);
    for (int i = 0; i < 3200; ++i) {
        const auto value = qint16(std::lround(16000 * std::sin(2 * M_PI * 440 * i / 48000.0)));
        qToLittleEndian(value, buffer.data() + i * 4);
        qToLittleEndian(value, buffer.data() + i * 4 + 2);
    }
    StreamingResampler resampler(48000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(PcmConversion::convertBuffer(buffer, 2, false, resampler));
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ConvertOneBuffer48kStereo)->Unit(benchmark::kMicrosecond);

} // namespace

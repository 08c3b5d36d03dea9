#include "TakeAudioFile.h"
#include "WavFileCapture.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A minute of 16 kHz mono speech: $QUILLWREN_BENCH_SPEECH (a 16 kHz mono
// 16-bit WAV, e.g. espeak-ng's voice resampled with sox), repeated to a
// minute; else a voiced signal with pauses (a stand-in for speech).
QByteArray minuteOfSpeech()
{
    constexpr qsizetype kMinute = 60 * 16000 * 2;
    QByteArray pcm;
    const QString path = qEnvironmentVariable("QUILLWREN_BENCH_SPEECH");
    QFile file(path);
    if (!path.isEmpty() && file.open(QIODevice::ReadOnly)) {
        const WavFileCapture::Contents wav = WavFileCapture::read(file.readAll());
        if (wav.problem.isEmpty() && wav.format.sampleRate == 16000 && wav.format.channels == 1 && !wav.format.isFloat)
            pcm = wav.frames;
    }
    if (pcm.isEmpty()) {
        pcm.resize(kMinute);
        for (qsizetype i = 0; i < kMinute / 2; ++i) {
            const double t = double(i) / 16000;
            const bool voiced = std::fmod(t, 1.5) < 1.1;
            const double value = voiced ? 6000 * std::sin(2 * M_PI * 140 * t) * (1 + 0.5 * std::sin(2 * M_PI * 3 * t))
                                              + 1500 * std::sin(2 * M_PI * 1100 * t)
                                        : 0;
            qToLittleEndian(qint16(std::lround(value + (i * 7919 % 61) - 30)), pcm.data() + 2 * i);
        }
    }
    while (pcm.size() < kMinute)
        pcm += pcm.left(kMinute - pcm.size());
    return pcm.left(kMinute);
}

// Writing a take's audio as it is captured: a minute, in the microphone's
// 100 ms buffers. The CPU time per iteration over 60 s is the share of a
// core it takes; "bytesPerMinute" is the file's size.
void BM_KeepAMinuteOfSpeech(benchmark::State &state)
{
    const QByteArray pcm = minuteOfSpeech();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("take.flac"));
    for (auto _ : state) {
        TakeAudioWriter writer;
        writer.open(path);
        for (qsizetype at = 0; at < pcm.size(); at += 3200)
            writer.write(pcm.mid(at, 3200));
        writer.finish();
    }
    state.counters["bytesPerMinute"] = double(QFileInfo(path).size());
    state.counters["rawBytesPerMinute"] = double(pcm.size());
}
BENCHMARK(BM_KeepAMinuteOfSpeech)->Unit(benchmark::kMillisecond);

} // namespace

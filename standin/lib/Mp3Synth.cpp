#include "Mp3Synth.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <lame/lame.h>

#include <cmath>
#include <vector>

namespace Mp3Synth {

QByteArray encode(const QByteArray &pcm)
{
    lame_global_flags *lame = lame_init();
    lame_set_num_channels(lame, 1);
    lame_set_in_samplerate(lame, kSampleRate);
    lame_set_out_samplerate(lame, kSampleRate);
    lame_set_mode(lame, MONO);
    lame_set_brate(lame, 48);
    lame_set_quality(lame, 7);
    lame_init_params(lame);

    const int samples = int(pcm.size() / 2);
    std::vector<short> input(samples);
    for (int i = 0; i < samples; ++i)
        input[i] = qFromLittleEndian<qint16>(pcm.constData() + 2 * i);
    std::vector<unsigned char> output(samples * 5 / 4 + 7200 + 7200);
    int written = lame_encode_buffer(lame, input.data(), input.data(), samples, output.data(), int(output.size()));
    if (written < 0)
        written = 0;
    written += lame_encode_flush(lame, output.data() + written, int(output.size()) - written);
    lame_close(lame);
    return QByteArray(reinterpret_cast<const char *>(output.data()), written);
}

QByteArray tone(const QString &text, int hz)
{
    const int samples = std::max(kSampleRate * 3 / 10, int(text.size()) * kSampleRate * 12 / 100);
    QByteArray pcm(samples * 2, Qt::Uninitialized);
    for (int i = 0; i < samples; ++i) {
        // Short fades, so the clip starts and ends without a click.
        const double fade = std::min({1.0, i / 441.0, (samples - i) / 441.0});
        const auto value = qint16(std::lround(0.3 * fade * 32767 * std::sin(2 * M_PI * hz * i / kSampleRate)));
        qToLittleEndian(value, pcm.data() + 2 * i);
    }
    return encode(pcm);
}

QByteArray speech(const QString &text)
{
    const QString espeak = QStandardPaths::findExecutable(QStringLiteral("espeak-ng"));
    if (espeak.isEmpty())
        return tone(text);
    QProcess process;
    process.start(espeak, {QStringLiteral("-v"), QStringLiteral("cmn"), QStringLiteral("--stdout"), text});
    if (!process.waitForFinished(10000) || process.exitCode() != 0)
        return tone(text);
    const QByteArray wav = process.readAllStandardOutput();
    // espeak-ng writes a 44-byte WAV header before 16-bit mono PCM at 22050 Hz.
    if (wav.size() <= 44 || !wav.startsWith("RIFF"))
        return tone(text);
    return encode(wav.mid(44));
}

} // namespace Mp3Synth

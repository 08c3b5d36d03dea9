#include "AudioAnalysis.h"
#include "PcmConversion.h"

#include <QtEndian>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

namespace {

QVector<qint16> samplesOf(const QByteArray &pcm)
{
    QVector<qint16> out;
    for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
        out << qFromLittleEndian<qint16>(pcm.constData() + i);
    return out;
}

// Interleaved 16-bit frames of a sine on every channel.
QByteArray sineFrames(double hz, int rate, int channels, double seconds)
{
    const int frames = int(rate * seconds);
    QByteArray bytes(frames * channels * 2, Qt::Uninitialized);
    for (int i = 0; i < frames; ++i) {
        const auto value = qint16(std::lround(0.5 * 32767 * std::sin(2 * M_PI * hz * i / rate)));
        for (int c = 0; c < channels; ++c)
            qToLittleEndian(value, bytes.data() + (i * channels + c) * 2);
    }
    return bytes;
}

TEST(PcmConversion, FloatsBecomeInt16ByTheRule)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<float> in{1.5f, 1.0f, 0.5f, -0.5f, -1.0f, -1.5f, nan, 0.0f};
    const QByteArray pcm = PcmConversion::floatToInt16(in);
    EXPECT_EQ(pcm.size(), 16);
    EXPECT_EQ(samplesOf(pcm), (QVector<qint16>{32767, 32767, 16383, -16383, -32767, -32767, 32767, 0}));
}

TEST(PcmConversion, TheLevelIsTwiceTheRootOfTheMeanMagnitude)
{
    EXPECT_FLOAT_EQ(PcmConversion::level(std::vector<float>(100, 1.0f)), 1.0f);
    EXPECT_FLOAT_EQ(PcmConversion::level(std::vector<float>{1.0f, -1.0f}), 1.0f);
    EXPECT_FLOAT_EQ(PcmConversion::level(std::vector<float>(100, 0.0f)), 0.0f);
    EXPECT_NEAR(PcmConversion::level(std::vector<float>(100, 0.01f)), 0.2f, 1e-6);
    EXPECT_EQ(PcmConversion::level({}), 0.0f) << "an empty buffer is silence, not a non-number";
    EXPECT_FALSE(std::isnan(PcmConversion::level(std::vector<float>{std::numeric_limits<float>::quiet_NaN()})));
}

// A 440 Hz tone captured at 44.1 kHz stereo or 48 kHz, in 3200-frame buffers,
// arrives as 16 kHz audio of the same pitch and length, without clicks.
class Resampling : public ::testing::TestWithParam<std::pair<int, int>>
{
};

TEST_P(Resampling, ATonesPitchAndLengthSurviveAndSeamsDoNotClick)
{
    const auto [rate, channels] = GetParam();
    const QByteArray captured = sineFrames(440, rate, channels, 2.0);
    StreamingResampler resampler(rate);
    ASSERT_TRUE(resampler.isValid());
    AudioAnalysis analysis;
    int frames = 0;
    const qsizetype bufferBytes = 3200 * channels * 2;
    for (qsizetype offset = 0; offset < captured.size(); offset += bufferBytes) {
        const QVector<float> mono = PcmConversion::firstChannel(captured.mid(offset, bufferBytes), channels, false);
        analysis.add(PcmConversion::floatToInt16(resampler.process(mono)));
        ++frames;
    }
    analysis.add(PcmConversion::floatToInt16(resampler.flush()));
    EXPECT_EQ(frames, int(std::ceil(2.0 * rate / 3200)));
    EXPECT_NEAR(analysis.durationMs(), 2000, 2) << "no fractional frames lost at the seams";
    EXPECT_NEAR(analysis.dominantHz(), 440, 1);
    // A 440 Hz sine at half scale moves at most 0.5 * 2pi * 440 / 16000 = 0.086 per sample.
    EXPECT_LT(analysis.maxStep(), 0.1) << "no click at a buffer boundary";
}

INSTANTIATE_TEST_SUITE_P(Rates, Resampling,
                         ::testing::Values(std::pair{44100, 2}, std::pair{48000, 1}, std::pair{16000, 1}));

} // namespace

#pragma once

#include <QByteArray>
#include <QVector>

#include <memory>
#include <span>

class StreamingResampler;

// From the microphone's samples to what the recogniser sends: 16 kHz mono
// signed 16-bit little-endian PCM.
namespace PcmConversion {

constexpr int kTargetRate = 16000;

// x >= 1.0 gives 32767, x < -1.0 gives -32767, otherwise x * 32767 truncated
// toward zero; a non-number gives 32767. Two bytes per sample, little-endian.
QByteArray floatToInt16(std::span<const float> samples);

// The input level of a buffer: min(2 * sqrt(mean |x|), 1). 0 for an empty
// buffer, never a non-number.
float level(std::span<const float> samples);

// Channel 0 of interleaved 16-bit or float frames, as floats.
QVector<float> firstChannel(const QByteArray &frames, int channels, bool isFloat);

// One captured buffer as the recogniser takes it: the level of channel 0, and
// channel 0 at 16 kHz as Int16 PCM through the session's resampler.
struct ConvertedBuffer
{
    float level = 0;
    QByteArray pcm16k;
};
ConvertedBuffer convertBuffer(const QByteArray &frames, int channels, bool isFloat, StreamingResampler &resampler);

} // namespace PcmConversion

// One resampler for a whole capture session, so that buffer seams neither
// click nor lose fractional frames: each call turns one captured buffer into
// the 16 kHz samples that are ready (one data frame per buffer).
class StreamingResampler
{
public:
    explicit StreamingResampler(double inputRate);
    ~StreamingResampler();

    bool isValid() const { return m_inputRate == PcmConversion::kTargetRate || m_soxr != nullptr; }
    QVector<float> process(std::span<const float> input);
    // What is still inside the filter, at the end of the session.
    QVector<float> flush();

private:
    double m_inputRate;
    struct soxr *m_soxr = nullptr;
};

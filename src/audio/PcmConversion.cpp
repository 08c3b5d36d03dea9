#include "PcmConversion.h"

#include <QtEndian>

#include <cmath>
#include <soxr.h>

namespace PcmConversion {

QByteArray floatToInt16(std::span<const float> samples)
{
    QByteArray bytes(qsizetype(samples.size()) * 2, Qt::Uninitialized);
    char *out = bytes.data();
    for (const float x : samples) {
        qint16 value;
        if (std::isnan(x) || x >= 1.0f)
            value = 32767;
        else if (x < -1.0f)
            value = -32767;
        else
            value = qint16(x * 32767.0f); // truncates toward zero
        qToLittleEndian(value, out);
        out += 2;
    }
    return bytes;
}

float level(std::span<const float> samples)
{
    if (samples.empty())
        return 0;
    double sum = 0;
    for (const float x : samples)
        sum += std::isfinite(x) ? std::fabs(x) : 0.0;
    const double value = std::min(2.0 * std::sqrt(sum / double(samples.size())), 1.0);
    return std::isfinite(value) ? float(value) : 0.0f;
}

QVector<float> firstChannel(const QByteArray &frames, int channels, bool isFloat)
{
    const int sampleBytes = isFloat ? 4 : 2;
    const qsizetype frameBytes = qsizetype(channels) * sampleBytes;
    QVector<float> out;
    if (channels < 1)
        return out;
    out.reserve(frames.size() / frameBytes);
    for (qsizetype offset = 0; offset + frameBytes <= frames.size(); offset += frameBytes) {
        const char *sample = frames.constData() + offset;
        out.append(isFloat ? qFromLittleEndian<float>(sample) : qFromLittleEndian<qint16>(sample) / 32768.0f);
    }
    return out;
}

ConvertedBuffer convertBuffer(const QByteArray &frames, int channels, bool isFloat, StreamingResampler &resampler)
{
    const QVector<float> mono = firstChannel(frames, channels, isFloat);
    return {level(mono), floatToInt16(resampler.process(mono))};
}

} // namespace PcmConversion

StreamingResampler::StreamingResampler(double inputRate) : m_inputRate(inputRate)
{
    if (inputRate == PcmConversion::kTargetRate || inputRate <= 0)
        return;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    m_soxr = soxr_create(inputRate, PcmConversion::kTargetRate, 1, &error, &io, &quality, nullptr);
    if (error)
        m_soxr = nullptr;
}

StreamingResampler::~StreamingResampler()
{
    if (m_soxr)
        soxr_delete(m_soxr);
}

QVector<float> StreamingResampler::process(std::span<const float> input)
{
    if (m_inputRate == PcmConversion::kTargetRate)
        return QVector<float>(input.begin(), input.end());
    QVector<float> output;
    if (!m_soxr)
        return output;
    output.resize(qsizetype(std::ceil(input.size() * PcmConversion::kTargetRate / m_inputRate)) + 64);
    size_t used = 0, made = 0;
    soxr_process(m_soxr, input.data(), input.size(), &used, output.data(), size_t(output.size()), &made);
    output.resize(qsizetype(made));
    return output;
}

QVector<float> StreamingResampler::flush()
{
    QVector<float> output;
    if (!m_soxr)
        return output;
    output.resize(4096);
    size_t used = 0, made = 0;
    soxr_process(m_soxr, nullptr, 0, &used, output.data(), size_t(output.size()), &made);
    output.resize(qsizetype(made));
    return output;
}

// WAV files given to `transcribe --file`: refused with a reason, or read into
// a format whose first buffer goes through the microphone's conversion.
#include "FuzzChunks.h"
#include "PcmConversion.h"
#include "WavFileCapture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const WavFileCapture::Contents contents = WavFileCapture::read(bytes);
    if (!contents.problem.isEmpty()) {
        FUZZ_CHECK(contents.frames.isEmpty());
        return 0;
    }
    const auto &format = contents.format;
    FUZZ_CHECK(format.channels >= 1);
    FUZZ_CHECK(format.sampleRate >= WavFileCapture::kMinSampleRate && format.sampleRate <= WavFileCapture::kMaxSampleRate);
    FUZZ_CHECK(contents.frames.size() <= bytes.size());
    StreamingResampler resampler(format.sampleRate);
    const QByteArray first = contents.frames.left(qsizetype(WavFileCapture::kBufferFrames) * format.bytesPerFrame());
    const auto converted = PcmConversion::convertBuffer(first, format.channels, format.isFloat, resampler);
    FUZZ_CHECK(converted.level >= 0 && converted.level <= 1);
    return 0;
}

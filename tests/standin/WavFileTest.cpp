// Reading the WAV files `transcribe --file` plays as if they were the
// microphone: the layouts recorders write, and damaged files refused with a
// reason instead of played as noise.
#include "WavFileCapture.h"

#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QByteArray le32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}
QByteArray le16(quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 2);
}
QByteArray chunk(const QByteArray &id, const QByteArray &body)
{
    QByteArray out = id + le32(quint32(body.size())) + body;
    if (body.size() % 2)
        out.append('\0'); // chunks are padded to an even size
    return out;
}
QByteArray fmtChunk(quint16 tag, quint16 channels, quint32 rate, quint16 bits)
{
    const quint16 block = quint16(channels * bits / 8);
    return chunk("fmt ", le16(tag) + le16(channels) + le32(rate) + le32(rate * block) + le16(block) + le16(bits));
}
QByteArray riff(const QByteArray &chunks)
{
    return "RIFF" + le32(quint32(4 + chunks.size())) + "WAVE" + chunks;
}

TEST(WavFile, TheLayoutsRecordersWriteAreRead)
{
    const QByteArray samples(640, '\x01');
    const auto pcm = WavFileCapture::read(riff(fmtChunk(1, 1, 16000, 16) + chunk("data", samples)));
    EXPECT_TRUE(pcm.problem.isEmpty()) << pcm.problem.toStdString();
    EXPECT_EQ(pcm.format.sampleRate, 16000);
    EXPECT_EQ(pcm.format.channels, 1);
    EXPECT_FALSE(pcm.format.isFloat);
    EXPECT_EQ(pcm.frames, samples);

    // A list chunk of odd size before the data: its pad byte is skipped.
    const auto padded = WavFileCapture::read(
        riff(fmtChunk(3, 2, 48000, 32) + chunk("LIST", "abc") + chunk("data", QByteArray(64, '\x02'))));
    EXPECT_TRUE(padded.problem.isEmpty()) << padded.problem.toStdString();
    EXPECT_TRUE(padded.format.isFloat);
    EXPECT_EQ(padded.format.channels, 2);
    EXPECT_EQ(padded.frames, QByteArray(64, '\x02'));

    // A recording cut short: the data chunk claims more than there is.
    const QByteArray cut = riff(fmtChunk(1, 1, 44100, 16)) + "data" + le32(100000) + QByteArray(10, '\x03');
    const auto truncated = WavFileCapture::read(cut);
    EXPECT_TRUE(truncated.problem.isEmpty());
    EXPECT_EQ(truncated.frames, QByteArray(10, '\x03')) << "what is there is played";
}

TEST(WavFile, DamagedOrUnsupportedFilesAreRefusedWithAReason)
{
    const QByteArray data = chunk("data", QByteArray(32, '\0'));
    const struct
    {
        QByteArray bytes;
        const char *problem;
    } cases[] = {
        {"RIFF", "not a WAV file"},
        {"RIFF\x10\0\0\0AVI LIST", "not a WAV file"},
        {riff(fmtChunk(1, 1, 16000, 8) + data), "only 16-bit PCM and 32-bit float WAV files are supported"},
        {riff(fmtChunk(85, 1, 16000, 16) + data), "only 16-bit PCM and 32-bit float WAV files are supported"},
        {riff(data), "no usable format chunk"},
        {riff(fmtChunk(1, 0, 16000, 16) + data), "no usable format chunk"},
        // Rates no recorder writes would make the resampler work for
        // minutes or refuse; they are damage.
        {riff(fmtChunk(1, 1, 999, 16) + data), "a sample rate of 999 Hz is not supported"},
        {riff(fmtChunk(1, 1, 0x80000000u, 16) + data), "a sample rate of 2147483648 Hz is not supported"},
    };
    for (const auto &c : cases) {
        const auto contents = WavFileCapture::read(c.bytes);
        EXPECT_EQ(contents.problem.toStdString(), c.problem);
        EXPECT_TRUE(contents.frames.isEmpty());
    }
}

} // namespace

#include "TakeAudioFile.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>

#include <QtEndian>

#include <vector>

namespace {
constexpr unsigned kCompressionLevel = 5;
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}
} // namespace

// libFLAC's I/O goes straight to the file: every frame is in the kernel's
// hands as soon as it is encoded.
struct TakeAudioWriterCallbacks
{
    static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder *, const FLAC__byte buffer[], size_t bytes,
                                                uint32_t, uint32_t, void *data)
    {
        auto *writer = static_cast<TakeAudioWriter *>(data);
        if (writer->m_file.write(reinterpret_cast<const char *>(buffer), qint64(bytes)) != qint64(bytes)) {
            writer->m_failed = true;
            return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
        }
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    static FLAC__StreamEncoderSeekStatus seek(const FLAC__StreamEncoder *, FLAC__uint64 offset, void *data)
    {
        return static_cast<TakeAudioWriter *>(data)->m_file.seek(qint64(offset)) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                                                                 : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tell(const FLAC__StreamEncoder *, FLAC__uint64 *offset, void *data)
    {
        *offset = FLAC__uint64(static_cast<TakeAudioWriter *>(data)->m_file.pos());
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

struct TakeAudioWriter::Encoder
{
    FLAC__StreamEncoder *flac = FLAC__stream_encoder_new();
    Encoder() = default;
    Encoder(const Encoder &) = delete;
    Encoder &operator=(const Encoder &) = delete;
    ~Encoder()
    {
        if (flac)
            FLAC__stream_encoder_delete(flac);
    }
};

TakeAudioWriter::TakeAudioWriter() = default;

TakeAudioWriter::~TakeAudioWriter()
{
    finish();
}

bool TakeAudioWriter::open(const QString &path, QString *error)
{
    finish();
    m_file.setFileName(path);
    m_samples = 0;
    m_odd.clear();
    m_failed = false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered, kOwnerOnly))
        return fail(error, m_file.errorString());
    m_file.setPermissions(kOwnerOnly); // an older file of that name too
    m_encoder = std::make_unique<Encoder>();
    FLAC__StreamEncoder *encoder = m_encoder->flac;
    const bool configured = encoder && FLAC__stream_encoder_set_channels(encoder, 1)
                            && FLAC__stream_encoder_set_bits_per_sample(encoder, 16)
                            && FLAC__stream_encoder_set_sample_rate(encoder, kSampleRate)
                            && FLAC__stream_encoder_set_compression_level(encoder, kCompressionLevel);
    if (!configured
        || FLAC__stream_encoder_init_stream(encoder, &TakeAudioWriterCallbacks::write, &TakeAudioWriterCallbacks::seek,
                                            &TakeAudioWriterCallbacks::tell, nullptr, this)
               != FLAC__STREAM_ENCODER_INIT_STATUS_OK) {
        m_encoder.reset();
        m_file.close();
        m_file.remove();
        return fail(error, QStringLiteral("the FLAC encoder could not be set up"));
    }
    return true;
}

bool TakeAudioWriter::write(const QByteArray &pcm)
{
    if (!m_encoder || m_failed)
        return false;
    QByteArray bytes = m_odd + pcm;
    m_odd = bytes.size() % 2 ? bytes.right(1) : QByteArray();
    const qsizetype count = bytes.size() / 2;
    if (count == 0)
        return true;
    std::vector<FLAC__int32> values(static_cast<size_t>(count));
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    for (qsizetype i = 0; i < count; ++i)
        values[size_t(i)] = qFromLittleEndian<qint16>(data + 2 * i);
    if (!FLAC__stream_encoder_process_interleaved(m_encoder->flac, values.data(), uint32_t(count))) {
        m_failed = true;
        return false;
    }
    m_samples += count;
    return true;
}

bool TakeAudioWriter::finish()
{
    if (!m_encoder)
        return !m_failed;
    const bool finished = FLAC__stream_encoder_finish(m_encoder->flac);
    m_encoder.reset();
    m_file.close();
    return finished && !m_failed;
}

// --- Reading -------------------------------------------------------------------

namespace {
struct Reading
{
    QByteArray file;
    qsizetype at = 0;
    QByteArray pcm;
    FLAC__uint64 totalSamples = 0;
    QString wrongFormat;
    bool broken = false;
};

FLAC__StreamDecoderReadStatus readBytes(const FLAC__StreamDecoder *, FLAC__byte buffer[], size_t *bytes, void *data)
{
    auto *reading = static_cast<Reading *>(data);
    const size_t left = size_t(reading->file.size() - reading->at);
    if (left == 0) {
        *bytes = 0;
        return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
    }
    *bytes = std::min(*bytes, left);
    memcpy(buffer, reading->file.constData() + reading->at, *bytes);
    reading->at += qsizetype(*bytes);
    return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
}

FLAC__StreamDecoderWriteStatus writeSamples(const FLAC__StreamDecoder *, const FLAC__Frame *frame,
                                            const FLAC__int32 *const channels[], void *data)
{
    auto *reading = static_cast<Reading *>(data);
    if (!reading->wrongFormat.isEmpty())
        return FLAC__STREAM_DECODER_WRITE_STATUS_ABORT;
    const qsizetype at = reading->pcm.size();
    reading->pcm.resize(at + qsizetype(frame->header.blocksize) * 2);
    auto *out = reinterpret_cast<uchar *>(reading->pcm.data() + at);
    for (uint32_t i = 0; i < frame->header.blocksize; ++i)
        qToLittleEndian<qint16>(qint16(channels[0][i]), out + 2 * i);
    return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
}

void metadata(const FLAC__StreamDecoder *, const FLAC__StreamMetadata *block, void *data)
{
    auto *reading = static_cast<Reading *>(data);
    if (block->type != FLAC__METADATA_TYPE_STREAMINFO)
        return;
    const FLAC__StreamMetadata_StreamInfo &info = block->data.stream_info;
    reading->totalSamples = info.total_samples;
    if (info.sample_rate != unsigned(TakeAudioWriter::kSampleRate) || info.channels != 1 || info.bits_per_sample != 16)
        reading->wrongFormat = QStringLiteral("%1 Hz, %2 channels, %3 bits")
                                   .arg(info.sample_rate)
                                   .arg(info.channels)
                                   .arg(info.bits_per_sample);
}

void decodeError(const FLAC__StreamDecoder *, FLAC__StreamDecoderErrorStatus, void *data)
{
    static_cast<Reading *>(data)->broken = true;
}

bool decodeFail(QString *error, const QString &path, const QString &why)
{
    return fail(error, QStringLiteral("%1: %2").arg(path, why));
}
} // namespace

std::optional<TakeAudio> TakeAudio::read(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        decodeFail(error, path, file.errorString());
        return std::nullopt;
    }
    Reading reading;
    reading.file = file.readAll();
    if (!reading.file.startsWith("fLaC")) {
        decodeFail(error, path, QStringLiteral("not a FLAC file"));
        return std::nullopt;
    }
    std::unique_ptr<FLAC__StreamDecoder, void (*)(FLAC__StreamDecoder *)> decoder(FLAC__stream_decoder_new(),
                                                                                 &FLAC__stream_decoder_delete);
    if (!decoder
        || FLAC__stream_decoder_init_stream(decoder.get(), &readBytes, nullptr, nullptr, nullptr, nullptr,
                                            &writeSamples, &metadata, &decodeError, &reading)
               != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
        decodeFail(error, path, QStringLiteral("the FLAC decoder could not be set up"));
        return std::nullopt;
    }
    FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
    FLAC__stream_decoder_finish(decoder.get());
    if (!reading.wrongFormat.isEmpty()) {
        decodeFail(error, path, QStringLiteral("not a take's audio (%1)").arg(reading.wrongFormat));
        return std::nullopt;
    }
    TakeAudio audio;
    audio.pcm = std::move(reading.pcm);
    const auto samples = FLAC__uint64(audio.pcm.size() / 2);
    // A finished file states its length; one a crash interrupted states none.
    audio.cutShort = reading.broken || (reading.totalSamples == 0 && samples > 0) || samples < reading.totalSamples;
    return audio;
}

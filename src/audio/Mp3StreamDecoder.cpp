#include "Mp3StreamDecoder.h"

#include "UserText.h"

#include <mpg123.h>

void Mp3StreamDecoder::Deleter::operator()(mpg123_handle_struct *handle) const
{
    mpg123_close(handle);
    mpg123_delete(handle);
}

ServiceError Mp3StreamDecoder::error(const QString &why)
{
    return {QStringLiteral("AudioError"), -1, UserText::of(QT_TRANSLATE_NOOP("UserText", "音频解码错误：%1")).arg(why)};
}

Mp3StreamDecoder::Mp3StreamDecoder()
{
    int status = MPG123_OK;
    m_handle.reset(mpg123_new(nullptr, &status));
    if (!m_handle) {
        m_openError = QString::fromUtf8(mpg123_plain_strerror(status));
        return;
    }
    mpg123_param(m_handle.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    // Always signed 16-bit, whatever the rate and channels.
    mpg123_format_none(m_handle.get());
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(m_handle.get(), rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_feed(m_handle.get()) != MPG123_OK) {
        m_openError = QString::fromUtf8(mpg123_strerror(m_handle.get()));
        m_handle.reset();
    }
}

Mp3StreamDecoder::~Mp3StreamDecoder() = default;

Result<QByteArray> Mp3StreamDecoder::feed(const QByteArray &mp3)
{
    if (!m_handle)
        return error(m_openError);
    QByteArray pcm;
    QByteArray chunk(64 * 1024, Qt::Uninitialized);
    int status = mpg123_feed(m_handle.get(), reinterpret_cast<const unsigned char *>(mp3.constData()), size_t(mp3.size()));
    while (status == MPG123_OK || status == MPG123_NEW_FORMAT) {
        size_t done = 0;
        status = mpg123_read(m_handle.get(), reinterpret_cast<unsigned char *>(chunk.data()), size_t(chunk.size()), &done);
        if (status == MPG123_NEW_FORMAT) {
            long rate = 0;
            int channels = 0;
            int encoding = 0;
            mpg123_getformat(m_handle.get(), &rate, &channels, &encoding);
            m_format.setSampleRate(int(rate));
            m_format.setChannelCount(channels);
            m_format.setSampleFormat(QAudioFormat::Int16);
        }
        pcm.append(chunk.constData(), qsizetype(done));
    }
    if (status != MPG123_NEED_MORE && status != MPG123_DONE)
        return error(QString::fromUtf8(mpg123_strerror(m_handle.get())));
    return pcm;
}

#pragma once

#include "ServiceError.h"

#include <QAudioFormat>
#include <QByteArray>

#include <memory>

struct mpg123_handle_struct;

// MP3 decoded as it arrives (libmpg123's feed mode): each piece of the
// stream, cut anywhere, gives the signed 16-bit PCM it completes.
class Mp3StreamDecoder
{
public:
    Mp3StreamDecoder();
    ~Mp3StreamDecoder();
    Mp3StreamDecoder(const Mp3StreamDecoder &) = delete;
    Mp3StreamDecoder &operator=(const Mp3StreamDecoder &) = delete;

    // The PCM that the bytes complete (often none for the first few), or
    // why the stream cannot be decoded.
    Result<QByteArray> feed(const QByteArray &mp3);
    // Valid once the first frame has been decoded.
    const QAudioFormat &format() const { return m_format; }

    static ServiceError error(const QString &why);

private:
    struct Deleter
    {
        void operator()(mpg123_handle_struct *handle) const;
    };
    std::unique_ptr<mpg123_handle_struct, Deleter> m_handle;
    QString m_openError;
    QAudioFormat m_format;
};

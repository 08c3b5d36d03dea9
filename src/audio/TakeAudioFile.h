#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <memory>
#include <optional>

// A take's audio on disk: 16 kHz mono signed 16-bit PCM as FLAC. Lossless,
// so that what is sent again is what was heard, sample for sample, at about
// half the size of the raw samples; every program that plays audio reads it.
//
// The writer hands each finished frame to the file as it is encoded (at most
// a quarter of a second waits in the encoder), so that a take cut short by a
// crash leaves a readable file of what was written so far.
class TakeAudioWriter
{
public:
    static constexpr int kSampleRate = 16000;
    static constexpr qsizetype kBytesPerMs = 32;

    TakeAudioWriter();
    ~TakeAudioWriter();
    TakeAudioWriter(const TakeAudioWriter &) = delete;
    TakeAudioWriter &operator=(const TakeAudioWriter &) = delete;

    // Creates the file, readable by the user alone; false (and why in
    // *error) when it cannot be.
    bool open(const QString &path, QString *error = nullptr);
    bool isOpen() const { return m_encoder != nullptr; }
    // Little-endian 16-bit samples; an odd last byte waits for its pair.
    bool write(const QByteArray &pcm);
    // Encodes what is left and completes the header (the length).
    bool finish();
    qint64 samples() const { return m_samples; }
    qint64 lengthMs() const { return m_samples * 1000 / kSampleRate; }
    QString path() const { return m_file.fileName(); }

private:
    struct Encoder; // libFLAC's, deleted with it
    friend struct TakeAudioWriterCallbacks;

    QFile m_file;
    std::unique_ptr<Encoder> m_encoder;
    QByteArray m_odd;
    qint64 m_samples = 0;
    bool m_failed = false;
};

// A take's audio read back.
struct TakeAudio
{
    QByteArray pcm; // 16 kHz mono signed 16-bit little-endian
    // The file ended in the middle (a crash while it was written): pcm
    // holds what could be read.
    bool cutShort = false;

    qint64 lengthMs() const { return pcm.size() / TakeAudioWriter::kBytesPerMs; }

    // The audio, or nothing with why in *error: the file is missing, not
    // FLAC, or not in the takes' format.
    static std::optional<TakeAudio> read(const QString &path, QString *error = nullptr);
};

#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QObject>

#include <memory>

class QAudioSink;

// The short tones that say recording started (rising) and stopped (falling),
// for users who do not watch the screen. A tone is a quiet sweep between two
// pitches, shaped at both ends so that it does not click: nothing in it is
// speech, so a recogniser that hears it through the microphone makes no
// words of it. Played on the default output; a new cue replaces one still
// playing, and the output is closed when a cue ends.
class CuePlayer final : public QObject
{
    Q_OBJECT

public:
    enum class Cue { RecordingStarted, RecordingStopped };

    static constexpr int kSampleRate = 24000;
    static constexpr int kDurationMs = 120;
    // Of full scale: well under speech played at the same volume.
    static constexpr double kPeak = 0.18;
    static constexpr double kLowHz = 660;
    static constexpr double kHighHz = 990;

    explicit CuePlayer(QObject *parent = nullptr);
    ~CuePlayer() override;

    // The cue's samples: mono, signed 16-bit, kSampleRate.
    static QByteArray tone(Cue cue);
    // Plays it and returns at once; nothing happens without an output.
    void play(Cue cue);

private:
    // Releases the output once the cue has played and leftMs more have
    // passed, or after a bound whatever the output says.
    void releaseWhenPlayed(QAudioSink *sink, int leftMs);
    void release();

    std::unique_ptr<QAudioSink> m_sink;
    QBuffer m_buffer;
};

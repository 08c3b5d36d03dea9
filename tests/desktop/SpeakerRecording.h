#pragma once

#include "AudioAnalysis.h"

#include <QDateTime>
#include <QProcess>

#include <algorithm>
#include <cmath>
#include <string>
#include <optional>

// What the default output plays, recorded from the speaker's monitor as
// 16 kHz mono, with the wall-clock time of its first sample, so that a sound
// heard can be set against the stand-in's records. Another source can be
// recorded the same way (the virtual microphone, to learn when a sound
// played into it is heard).
class SpeakerRecording
{
public:
    explicit SpeakerRecording(const QString &device = QStringLiteral("speaker.monitor"))
    {
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] {
            m_pcm += m_parec.readAllStandardOutput();
            // The data reaches us a little after it was recorded, never
            // before: the earliest estimate of the start is the closest.
            const qint64 start = QDateTime::currentMSecsSinceEpoch() - m_pcm.size() / kBytesPerMs;
            m_startedAt = m_startedAt ? std::min(*m_startedAt, start) : start;
        });
        m_parec.start(QStringLiteral("parec"), {QStringLiteral("--device=") + device, QStringLiteral("--rate=16000"),
                                                QStringLiteral("--channels=1"), QStringLiteral("--format=s16le"),
                                                QStringLiteral("--latency-msec=10")});
    }
    ~SpeakerRecording() { stop(); }

    void stop()
    {
        if (m_parec.state() == QProcess::NotRunning)
            return;
        m_parec.terminate();
        m_parec.waitForFinished(3000);
        m_pcm += m_parec.readAllStandardOutput();
    }

    const QByteArray &pcm() const { return m_pcm; }
    // Whether the recording runs: its first audio has come. A sound played
    // before then may not be in it.
    bool hasStarted() const { return m_startedAt.has_value(); }

    // When the first sound after wall-clock time `after` (ms since the
    // epoch) was heard; nothing if none was.
    std::optional<qint64> firstSoundAfter(qint64 after) const
    {
        if (!m_startedAt)
            return std::nullopt;
        const qsizetype window = kBytesPerMs * 10;
        for (qsizetype offset = std::max<qint64>(0, (after - *m_startedAt) * kBytesPerMs) / 2 * 2;
             offset + window <= m_pcm.size(); offset += window) {
            AudioAnalysis part;
            part.add(m_pcm.mid(offset, window));
            if (part.rms() >= 0.02)
                return *m_startedAt + offset / kBytesPerMs;
        }
        return std::nullopt;
    }

    // The pitches heard, in order: the dominant frequency of each 50 ms of
    // sound, held for at least 150 ms (a window across the seam of two
    // sounds, or at the edge of a gap, reads as a stray frequency), with
    // silence left out; each pitch as the middle reading of its run.
    QList<int> pitches() const
    {
        QList<QList<int>> runs; // the readings of each run of one pitch
        const qsizetype window = AudioAnalysis::kSampleRate / 20 * 2;
        for (qsizetype offset = 0; offset + window <= m_pcm.size(); offset += window) {
            AudioAnalysis part;
            part.add(m_pcm.mid(offset, window));
            if (part.rms() < 0.02)
                continue;
            const int hz = int(std::lround(part.dominantHz() / 10.0) * 10);
            if (!runs.isEmpty() && std::abs(runs.last().last() - hz) <= 30)
                runs.last() << hz;
            else
                runs.append(QList<int>{hz});
        }
        QList<int> heard;
        for (QList<int> run : runs) {
            std::sort(run.begin(), run.end());
            const int hz = run[run.size() / 2];
            if (run.size() >= 3 && (heard.isEmpty() || std::abs(heard.last() - hz) > 30))
                heard << hz;
        }
        return heard;
    }

    // Whether the pitches heard are these, in this order, each within 20 Hz
    // (a tone's reading wavers by a bin where its sound has gaps).
    bool heardPitches(const QList<int> &expected) const
    {
        const QList<int> heard = pitches();
        if (heard.size() != expected.size())
            return false;
        for (qsizetype i = 0; i < heard.size(); ++i) {
            if (std::abs(heard[i] - expected[i]) > 20)
                return false;
        }
        return true;
    }

    // Each sound heard, as its samples: runs of 10 ms windows of sound with
    // less than 30 ms of silence inside.
    QList<QByteArray> sounds() const
    {
        QList<QByteArray> found;
        const qsizetype window = kBytesPerMs * 10;
        qsizetype start = -1, lastLoud = -1;
        for (qsizetype offset = 0; offset + window <= m_pcm.size(); offset += window) {
            AudioAnalysis part;
            part.add(m_pcm.mid(offset, window));
            if (part.rms() >= 0.02) {
                if (start < 0)
                    start = offset;
                lastLoud = offset + window;
            } else if (start >= 0 && offset - lastLoud >= 3 * window) {
                found << m_pcm.mid(start, lastLoud - start);
                start = -1;
            }
        }
        if (start >= 0)
            found << m_pcm.mid(start, lastLoud - start);
        return found;
    }

    // The pitches heard, for a failure's message.
    std::string heardText() const
    {
        QStringList hz;
        for (int pitch : pitches())
            hz << QString::number(pitch);
        return "heard " + hz.join(QStringLiteral(", ")).toStdString();
    }

private:
    static constexpr qint64 kBytesPerMs = 32; // 16 kHz, 16-bit, mono
    QProcess m_parec;
    QByteArray m_pcm;
    std::optional<qint64> m_startedAt;
};

#pragma once

#include "AudioAnalysis.h"

#include <QDateTime>
#include <QProcess>

#include <cmath>
#include <optional>

// What the default output plays, recorded from the speaker's monitor as
// 16 kHz mono, with the wall-clock time of its first sample, so that a sound
// heard can be set against the stand-in's records.
class SpeakerRecording
{
public:
    SpeakerRecording()
    {
        QObject::connect(&m_parec, &QProcess::readyReadStandardOutput, [this] {
            m_pcm += m_parec.readAllStandardOutput();
            // The data reaches us a little after it was recorded, never
            // before: the earliest estimate of the start is the closest.
            const qint64 start = QDateTime::currentMSecsSinceEpoch() - m_pcm.size() / kBytesPerMs;
            m_startedAt = m_startedAt ? std::min(*m_startedAt, start) : start;
        });
        m_parec.start(QStringLiteral("parec"), {QStringLiteral("--device=speaker.monitor"), QStringLiteral("--rate=16000"),
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
    // sounds reads as a stray frequency), with silence left out.
    QList<int> pitches() const
    {
        QList<std::pair<int, int>> runs; // pitch, windows
        const qsizetype window = AudioAnalysis::kSampleRate / 20 * 2;
        for (qsizetype offset = 0; offset + window <= m_pcm.size(); offset += window) {
            AudioAnalysis part;
            part.add(m_pcm.mid(offset, window));
            if (part.rms() < 0.02)
                continue;
            const int hz = int(std::lround(part.dominantHz() / 10.0) * 10);
            if (!runs.isEmpty() && std::abs(runs.last().first - hz) <= 30)
                ++runs.last().second;
            else
                runs.append({hz, 1});
        }
        QList<int> heard;
        for (const auto &[hz, windows] : runs) {
            if (windows >= 3 && (heard.isEmpty() || std::abs(heard.last() - hz) > 30))
                heard << hz;
        }
        return heard;
    }

private:
    static constexpr qint64 kBytesPerMs = 32; // 16 kHz, 16-bit, mono
    QProcess m_parec;
    QByteArray m_pcm;
    std::optional<qint64> m_startedAt;
};

#include "RecognitionResults.h"

#include <QJsonArray>

void RecognitionResults::reset(const RecognitionScript &script)
{
    m_script = script;
    m_pending.clear();
    m_samplesAtLastResult = 0;
    m_voicedSamples = 0;
    qint64 beginMs = 0;
    for (const QString &sentence : script.sentences) {
        const int steps = script.interimResults;
        for (int i = 1; i <= steps + 1; ++i) {
            const bool last = i == steps + 1;
            const auto length = last ? sentence.size() : (sentence.size() * i + steps) / (steps + 1);
            if (!last && (length == 0 || length >= sentence.size()))
                continue;
            m_pending.push_back({{QStringLiteral("text"), sentence.left(length)},
                                 {QStringLiteral("sentence_end"), last},
                                 {QStringLiteral("begin_time"), double(beginMs)}});
        }
        beginMs += 1000;
    }
}

void RecognitionResults::heard(const QByteArray &pcm)
{
    // Voice is told in 10 ms windows, as a voice detector listens: a short
    // tone inside a long frame (a client that sends its audio in big
    // buffers, or late) counts for its own length, not the frame's.
    constexpr qsizetype kWindowBytes = AudioAnalysis::kSampleRate / 100 * 2;
    for (qsizetype offset = 0; offset < pcm.size(); offset += kWindowBytes) {
        const QByteArray window = pcm.mid(offset, kWindowBytes);
        if (AudioAnalysis::frameRms(window) >= RecognitionScript::kVoicedRms)
            m_voicedSamples += window.size() / 2;
    }
}

std::optional<QJsonObject> RecognitionResults::next(bool all, const AudioAnalysis &audio)
{
    const qint64 samplesPerResult
        = std::max<qint64>(1, qint64(m_script.audioMsPerResult) * AudioAnalysis::kSampleRate / 1000);
    if (!all && audio.sampleCount() - m_samplesAtLastResult < samplesPerResult)
        return std::nullopt;
    m_samplesAtLastResult += all ? 0 : samplesPerResult;
    const bool heardSpeech = m_script.minVoicedMs <= 0
                             || m_voicedSamples * 1000 >= qint64(m_script.minVoicedMs) * AudioAnalysis::kSampleRate;
    if (!m_pending.empty() && heardSpeech) {
        const QJsonObject next = m_pending.front();
        m_pending.pop_front();
        const bool end = next.value(QStringLiteral("sentence_end")).toBool();
        return QJsonObject{{QStringLiteral("begin_time"), next.value(QStringLiteral("begin_time"))},
                           {QStringLiteral("end_time"),
                            end ? QJsonValue(next.value(QStringLiteral("begin_time")).toDouble() + 900)
                                : QJsonValue(QJsonValue::Null)},
                           {QStringLiteral("text"), next.value(QStringLiteral("text"))},
                           {QStringLiteral("words"), QJsonArray()},
                           {QStringLiteral("heartbeat"), false},
                           {QStringLiteral("sentence_end"), end}};
    }
    if (m_script.heartbeat && !all) {
        return QJsonObject{{QStringLiteral("begin_time"), audio.durationMs()},
                           {QStringLiteral("end_time"), audio.durationMs()},
                           {QStringLiteral("text"), QString()},
                           {QStringLiteral("words"), QJsonArray()},
                           {QStringLiteral("heartbeat"), true},
                           {QStringLiteral("sentence_end"), false}};
    }
    return std::nullopt;
}

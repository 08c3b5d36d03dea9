#include "TranscriptAssembler.h"

void TranscriptAssembler::reset()
{
    m_committed.clear();
    m_segment.clear();
    m_lastCommittedSentence.clear();
}

QString TranscriptAssembler::addResult(const QString &text, bool sentenceEnd)
{
    if (sentenceEnd) {
        m_committed = combined(text);
        m_lastCommittedSentence = text;
        m_segment.clear();
    } else {
        m_segment = text;
    }
    return transcript();
}

QString TranscriptAssembler::finish(const std::optional<QString> &finalText) const
{
    if (!finalText || finalText->isEmpty())
        return transcript();
    // The final text may be the sentence already kept at its end.
    const bool alreadyKept = m_segment.isEmpty() && *finalText == m_lastCommittedSentence;
    return alreadyKept ? m_committed : combined(*finalText);
}

bool TranscriptAssembler::commitSegment()
{
    if (m_segment.isEmpty())
        return false;
    m_committed = combined(m_segment);
    m_segment.clear();
    return true;
}

#pragma once

#include <QString>

#include <optional>

// Builds one recording's transcript from the recogniser's results. A result
// replaces the sentence in progress; a result that ends its sentence commits
// it, and the next result starts a new one. Across a reconnection the
// sentence in progress is committed too, since the new task cannot know it.
class TranscriptAssembler
{
public:
    // Forgets everything: a new recording starts.
    void reset();

    // Applies one result; answers the whole transcript so far.
    QString addResult(const QString &text, bool sentenceEnd);
    // The transcript when the task ends: with the final text the service sent
    // (unless it repeats the sentence already committed), else with the
    // sentence in progress.
    QString finish(const std::optional<QString> &finalText) const;
    // Commits the sentence in progress before a new connection; false when
    // there was none.
    bool commitSegment();

    QString transcript() const { return combined(m_segment); }
    const QString &committed() const { return m_committed; }
    const QString &segment() const { return m_segment; }

private:
    QString combined(const QString &segment) const { return m_committed + segment; }

    QString m_committed;
    QString m_segment;
    QString m_lastCommittedSentence;
};

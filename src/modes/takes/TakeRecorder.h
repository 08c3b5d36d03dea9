#pragma once

#include "AppMode.h"
#include "RunEnding.h"
#include "TakeRecord.h"

#include <QElapsedTimer>
#include <QString>

#include <optional>

class SpeechRecognizer;
class TakeAudioKeeper;

// The take under way as the history will keep it: its words, its answer,
// how long after the release they came, and its record once it ends. A take
// that produced words is recorded; so is a voice take that failed, was
// cancelled or had trouble with the service, with its kept audio, so that
// what was said can be sent again.
class TakeRecorder
{
public:
    // Both must outlive it; without a keeper no audio is kept.
    TakeRecorder(SpeechRecognizer &recognizer, TakeAudioKeeper *keeper) : m_recognizer(recognizer), m_keeper(keeper) {}

    // A new take, timed from now (a voice take's release).
    void restart();
    // Its words, and when they came.
    void heard(const QString &text);
    void heard(const QString &text, qint64 latencyMs);
    void answered(const QString &answer) { m_answer = answer; }
    // What was typed of the words heard, when that is now: where it differs
    // (a clean-up edited them) the record keeps both.
    void typed(const QString &text);
    struct Ended
    {
        // Nothing when the history keeps no record of the take.
        std::optional<TakeRecord> record;
        // The ending as the user is told it: where the audio of a take that
        // was to be kept was lost, its detail says so (what was said cannot
        // be sent again either).
        RunEnding told;
    };
    Ended end(std::optional<AppMode> mode, const RunEnding &ending);
    // What the history says of why a take ended as it did: empty for a take
    // that came through.
    static QString reasonOf(const RunEnding &ending);

private:
    SpeechRecognizer &m_recognizer;
    TakeAudioKeeper *m_keeper;
    QElapsedTimer m_released;
    QString m_text;
    QString m_raw;
    QString m_answer;
    qint64 m_latencyMs = -1;
};

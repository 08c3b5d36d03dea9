#pragma once

#include "AudioAnalysis.h"
#include "Scenario.h"

#include <QJsonObject>

#include <deque>
#include <optional>

// The recognition script as a task gives it out: its sentences cut into the
// interim and final results the scenario asks for, one result per so much
// audio received (a keep-alive when there is nothing to say and the
// scenario wants them), and words only once enough speech was heard when
// the scenario asks for that.
class RecognitionResults
{
public:
    // A new task with the script.
    void reset(const RecognitionScript &script);
    // A frame of the task's audio.
    void heard(const QByteArray &pcm);
    // The next result's sentence member, or nothing until more audio came.
    // With all, what is left of the script, without keep-alives.
    std::optional<QJsonObject> next(bool all, const AudioAnalysis &audio);

private:
    RecognitionScript m_script;
    std::deque<QJsonObject> m_pending; // sentences of the script still to send
    qint64 m_samplesAtLastResult = 0;
    qint64 m_voicedSamples = 0;
};

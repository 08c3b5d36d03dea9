#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// What one text frame from the recogniser says, read and logged as it
// comes: the task started, a result, the task's end or its failure.
struct RecognitionEvent
{
    enum class Kind { Started, Result, Finished, Failed, Other };
    Kind kind = Kind::Other;
    // A result's text, or the final text of a finished task; none for a
    // keep-alive result or a frame without it.
    std::optional<QString> text;
    bool sentenceEnd = false;
    QString message; // why the task failed
};

namespace RecognitionEvents {

// Nothing when the frame cannot be read (said in the log).
std::optional<RecognitionEvent> read(const QByteArray &text);

} // namespace RecognitionEvents

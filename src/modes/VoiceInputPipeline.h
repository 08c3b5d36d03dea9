#pragma once

#include "RunEnding.h"

#include <QString>

#include <QCoroTask>

class TextInputService;

// Dictation's last step: the words typed into the focused application, or
// left on the clipboard where the keystroke cannot be sent.
class VoiceInputPipeline
{
public:
    // The text input must outlive the pipeline.
    explicit VoiceInputPipeline(TextInputService &textInput) : m_textInput(textInput) {}

    QCoro::Task<RunEnding> run(QString text, bool restoreClipboard);

private:
    TextInputService &m_textInput;
};

#pragma once

#include "DictationCleanup.h"
#include "RunEnding.h"

#include <QString>

#include <QCoroTask>

class TakeRecorder;
class TextInputService;

// Dictation's last steps: the words cleaned up where the settings ask for it
// (DictationCleanup), then typed into the focused application, or left on
// the clipboard where the keystroke cannot be sent.
class VoiceInputPipeline
{
public:
    // All must outlive the pipeline. The take's record learns what was
    // typed where that differs from what was heard.
    VoiceInputPipeline(TextInputService &textInput, DictationCleanup cleanup, TakeRecorder &take)
        : m_textInput(textInput), m_cleanup(std::move(cleanup)), m_take(take)
    {
    }

    QCoro::Task<RunEnding> run(QString text, AppConfig config, DictationCleanup::StatusSink status);
    // Esc during the clean-up: the run ends cancelled, nothing is typed.
    bool cancel() { return m_cleanup.cancel(); }

private:
    TextInputService &m_textInput;
    DictationCleanup m_cleanup;
    TakeRecorder &m_take;
};

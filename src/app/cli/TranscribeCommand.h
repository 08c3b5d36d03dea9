#pragma once

#include <QStringList>

#include <QCoroTask>

class SettingsStore;

// `quillwren transcribe --input FILE.wav [--fast] [--partial]`: a WAV file
// through the recogniser, as if spoken into the microphone; prints the final
// transcript (and, with --partial, the live one on standard error).
class TranscribeCommand
{
public:
    explicit TranscribeCommand(SettingsStore &settings);

    QCoro::Task<int> run(QStringList args);

private:
    SettingsStore &m_settings;
};

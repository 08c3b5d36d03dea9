#pragma once

#include <QStringList>

#include <QCoroTask>

class Application;

// `quillwren transcribe --input FILE.wav [--fast] [--partial]`: a WAV file
// through the recogniser, as if spoken into the microphone;
// `quillwren transcribe --mic [--seconds N] [--partial]`: the microphone.
// Prints the final transcript (and, with --partial, the live one on standard
// error); an empty transcript is a failure.
class TranscribeCommand
{
public:
    explicit TranscribeCommand(Application &application);

    QCoro::Task<int> run(QStringList args);

private:
    Application &m_application;
};

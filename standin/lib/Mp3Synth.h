#pragma once

#include <QByteArray>
#include <QString>

// Makes the MP3 clip (22050 Hz, mono) that stands for synthesised speech: a
// deterministic tone whose length grows with the text, or real speech from
// espeak-ng when asked for and installed.
namespace Mp3Synth {

constexpr int kSampleRate = 22050;

// About 120 ms per character, at least 300 ms.
QByteArray tone(const QString &text, int hz = 440);
// Speech when espeak-ng can make it, else the tone.
QByteArray speech(const QString &text);
// Encodes 16-bit mono PCM at 22050 Hz.
QByteArray encode(const QByteArray &pcm);

} // namespace Mp3Synth

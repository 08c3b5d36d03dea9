#pragma once

#include "Scenario.h"

#include <QByteArray>
#include <QString>

// How one sentence's audio goes out, as the synthesis script says for its
// text: the MP3, the delay before it, cut in chunkBytes pieces stepMs apart
// (or in the frames the scenario gives this text, spread over its time), and
// the frame after which it stalls or fails, if any (-1: none).
struct SynthesisPlan
{
    QByteArray mp3;
    int delayMs = 0;
    int chunkBytes = 0;
    int count = 0;
    int stepMs = 0;
    int stallAfter = -1;
    int failAfter = -1;

    static SynthesisPlan forText(const SynthesisScript &script, const QString &text);
};

#include "SynthesisPlan.h"

#include "Mp3Synth.h"

SynthesisPlan SynthesisPlan::forText(const SynthesisScript &script, const QString &text)
{
    // The first piece of text the scenario names decides.
    const auto byText = [&text](const QHash<QString, int> &values, int fallback) {
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (text.contains(it.key()))
                return it.value();
        }
        return fallback;
    };
    SynthesisPlan plan;
    plan.mp3 = script.voice == QLatin1String("espeak") ? Mp3Synth::speech(text)
                                                       : Mp3Synth::tone(text, byText(script.toneHz, 440));
    plan.delayMs = byText(script.delayMs, 0);
    const int frames = byText(script.frames, 0);
    plan.chunkBytes = frames > 0 ? int((plan.mp3.size() + frames - 1) / frames) : script.chunkBytes;
    plan.count = int((plan.mp3.size() + plan.chunkBytes - 1) / plan.chunkBytes);
    plan.stepMs = frames > 1 ? byText(script.spreadMs, 0) / (plan.count - 1) : script.chunkDelayMs;
    plan.stallAfter = byText(script.stallAfterFrames, -1);
    plan.failAfter = byText(script.failAfterFrames, -1);
    return plan;
}

#pragma once

#include <QList>
#include <QString>

// One entry of the fixed list of synthesis voices the model screen offers.
struct TTSVoiceOption
{
    QString id;        // stored in AppConfig::ttsVoice and sent to the service
    QString attribute; // short description of the voice
    QString language;  // the languages it speaks

    friend bool operator==(const TTSVoiceOption &, const TTSVoiceOption &) = default;

    // The six voices, in the order the picker shows them; built once.
    static const QList<TTSVoiceOption> &all();
};

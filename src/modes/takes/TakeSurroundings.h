#pragma once

#include "AppConfig.h"

#include <QObject>

#include <functional>

class AppViewModel;
class CuePlayer;
class MediaPlayers;
class SpeechRecognizer;

// What a take does to the room around it: media players that are playing
// are paused from a voice mode's activation until its run has ended (so a
// spoken answer is not talked over either), and, where the user wants them,
// a rising tone marks the start of recording and a falling one its end. Both
// settings are read once at the activation and hold for the whole take.
// Nothing here waits: the players are asked in the background.
class TakeSurroundings final : public QObject
{
    Q_OBJECT

public:
    TakeSurroundings(AppViewModel &controller, SpeechRecognizer &recognizer, MediaPlayers &media, CuePlayer &cues,
                     std::function<AppConfig()> config, QObject *parent = nullptr);

private:
    MediaPlayers &m_media;
    CuePlayer &m_cues;
    std::function<AppConfig()> m_config;
    bool m_mediaPaused = false;
    bool m_cuesOn = false;
};

#include "TakeSurroundings.h"

#include "AppViewModel.h"
#include "CuePlayer.h"
#include "MediaPlayers.h"
#include "SpeechRecognizer.h"

TakeSurroundings::TakeSurroundings(AppViewModel &controller, SpeechRecognizer &recognizer, MediaPlayers &media,
                                   CuePlayer &cues, std::function<AppConfig()> config, QObject *parent)
    : QObject(parent), m_media(media), m_cues(cues), m_config(std::move(config))
{
    connect(&controller, &AppViewModel::currentModeChanged, this, [this](std::optional<AppMode> mode) {
        // The reply records nothing and says nothing: the room is left alone.
        if (!mode || *mode == AppMode::BffReply)
            return;
        const AppConfig config = m_config();
        m_cuesOn = config.soundCues;
        if (config.pauseMedia && !m_mediaPaused) {
            m_mediaPaused = true;
            m_media.pausePlaying();
        }
    });
    // Every activation of a voice mode ends in a run's end: dictated,
    // answered, failed or cancelled.
    connect(&controller, &AppViewModel::runEnded, this, [this] {
        if (std::exchange(m_mediaPaused, false))
            m_media.resumePaused();
    });
    connect(&recognizer, &SpeechRecognizer::isRecordingChanged, this, [this](bool recording) {
        if (m_cuesOn)
            m_cues.play(recording ? CuePlayer::Cue::RecordingStarted : CuePlayer::Cue::RecordingStopped);
    });
}

#pragma once

#include <QObject>

// Other programs' media players, paused while the user speaks or is spoken
// to. Both calls return at once: a player or a bus that is slow to answer
// never holds up a take.
class MediaPlayers : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Pauses every player that is playing now.
    virtual void pausePlaying() = 0;
    // Plays again exactly the players the last pausePlaying paused, those of
    // them still paused: one the user resumed, paused again or closed
    // meanwhile is left alone.
    virtual void resumePaused() = 0;
};

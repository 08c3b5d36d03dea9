#pragma once

#include "MediaPlayers.h"

// Where there is no session bus: no player can be reached.
class NullMediaPlayers final : public MediaPlayers
{
    Q_OBJECT

public:
    using MediaPlayers::MediaPlayers;

    void pausePlaying() override {}
    void resumePaused() override {}
};

#pragma once

#include "ServiceError.h"

#include <QByteArray>
#include <QObject>

#include <optional>

// Plays one sound clip at a time and reports its end as an audio player's
// delegate would: finished, or a decode error. Tests give the controller a fake.
class ClipPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts playing the clip, replacing one still playing (which then reports
    // nothing more). Fails when the clip cannot be played at all; then no
    // signal follows. Once started, exactly one signal ends the clip.
    virtual VoidResult play(const QByteArray &clip) = 0;
    // Ends the clip now, without a signal.
    virtual void stop() = 0;

Q_SIGNALS:
    void finishedPlaying(bool successfully);
    void decodeErrorOccurred(const std::optional<ServiceError> &error);
};

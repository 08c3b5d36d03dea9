#pragma once

#include "AudioStream.h"
#include "ServiceError.h"

#include <QByteArray>
#include <QObject>

#include <memory>
#include <optional>

// Plays one sound at a time and reports its end as an audio player's
// delegate would: finished, or a decode error. Tests give the controller a fake.
class ClipPlayer : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts playing the stream as its bytes arrive, replacing a sound still
    // playing (which then reports nothing more). Fails when nothing can be
    // played at all; then no signal follows. Once started, exactly one
    // signal ends it: finished, once everything the stream brought has been
    // played (a stream cut short by its synthesis included), or an error.
    virtual VoidResult play(std::shared_ptr<AudioStream> stream) = 0;
    // A whole clip.
    VoidResult play(const QByteArray &clip) { return play(AudioStream::ofClip(clip)); }
    // Ends the clip now, without a signal.
    virtual void stop() = 0;

Q_SIGNALS:
    void finishedPlaying(bool successfully);
    void decodeErrorOccurred(const std::optional<ServiceError> &error);
};

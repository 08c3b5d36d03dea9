#pragma once

#include "ServiceError.h"

#include <QByteArray>
#include <QObject>

#include <QCoroTask>

// The microphone as the recogniser sees it: started and stopped, it delivers
// each captured buffer already converted to 16 kHz mono signed 16-bit
// little-endian PCM (one buffer, one frame), and the input level of each.
class AudioCapture : public QObject
{
    Q_OBJECT

public:
    // Frames per captured buffer, at the source's own rate.
    static constexpr int kBufferFrames = 3200;
    // The code of an "AudioError" when no input can be opened: Core Audio's
    // "format not supported" (kAudioUnitErr_FormatNotSupported), which the
    // recogniser's audio errors carry on every platform alike.
    static constexpr int kNoUsableInputError = -10868;

    using QObject::QObject;

    // Starts capturing; fails with the error the recogniser reports.
    virtual QCoro::Task<VoidResult> start() = 0;
    // Stops capturing. Stopping a stopped capture does nothing.
    virtual void stop() = 0;
    // Stops at the end of a recording: first hands over, as one last
    // pcmReady, what was captured but not yet delivered (the unfinished
    // buffer), so that the last word is not cut.
    virtual void finish() { stop(); }
    virtual bool isRunning() const = 0;
    // Whether the user lets this program record (granted on Linux).
    virtual QCoro::Task<bool> requestPermission() = 0;

Q_SIGNALS:
    void pcmReady(const QByteArray &pcm16k);
    void levelChanged(float level);
    // The devices changed or the running capture failed: it must be restarted.
    void configurationChanged();
};

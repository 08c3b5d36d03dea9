#pragma once

#include "AudioInputWatcher.h"

// An audio server's microphones as the test sets them.
class FakeAudioInputWatcher final : public AudioInputWatcher
{
    Q_OBJECT

public:
    QByteArray defaultInputId() const override { return defaultId; }
    bool isBuiltIn(const QByteArray &) const override { return false; }
    QList<Input> inputs() const override { return listed; }
    bool isReady() const override { return true; }

    // Replaces the microphones and says so, as a plug or unplug would.
    void setInputs(const QList<Input> &inputs)
    {
        listed = inputs;
        Q_EMIT inputsChanged();
    }

    QList<Input> listed;
    QByteArray defaultId;
};

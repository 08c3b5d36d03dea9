#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

// Tells the microphone capture what the audio server knows and Qt does not
// pass on: that the set of microphones changed (one was plugged in or taken
// away, or the user picked another default), and which microphone the user
// chose as the default. Qt's own QMediaDevices notification stays connected
// as well; on servers where it works both may arrive for one change.
class AudioInputWatcher : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // A microphone the server offers (never the monitor of an output).
    struct Input
    {
        QByteArray id; // the server's stable name, as QAudioDevice::id()
        QString description;
    };

    // The microphones, sorted by description; empty until the server has
    // listed them (see isReady).
    virtual QList<Input> inputs() const = 0;
    // Whether the server answered and listed its inputs.
    virtual bool isReady() const = 0;

    // The device id (as QAudioDevice::id()) of the server's default input,
    // or empty when the server has not said (yet) or there is no server.
    virtual QByteArray defaultInputId() const = 0;
    // Whether the server marks the input as built into the machine (a
    // laptop's own microphone), which is preferred when the default fails.
    virtual bool isBuiltIn(const QByteArray &inputId) const = 0;

Q_SIGNALS:
    // An input appeared or went away, or the default input changed. Emitted
    // on the thread that owns the watcher.
    void inputsChanged();
};

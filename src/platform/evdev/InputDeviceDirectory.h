#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <bitset>
#include <optional>

// Where the evdev key source finds its input devices: /dev/input in
// production, pipes fed with recorded events in tests.
class InputDeviceDirectory : public QObject
{
    Q_OBJECT

public:
    // The key codes an evdev device can report (KEY_CNT of <linux/input.h>).
    using KeyBits = std::bitset<0x300>;

    struct OpenedDevice
    {
        // Non-blocking, read-only, owned by the caller from now on.
        int fd = -1;
        KeyBits keys;
    };

    using QObject::QObject;

    // The devices present now, by path.
    virtual QStringList devicePaths() const = 0;
    // Opens a device without grabbing it; nullopt with *error set when it
    // cannot be read (errno's value in *errorNumber).
    virtual std::optional<OpenedDevice> open(const QString &path, QString *error, int *errorNumber) = 0;
    // The keys the device holds down now, after its kernel buffer overflowed.
    virtual KeyBits heldKeys(int fd) const = 0;

Q_SIGNALS:
    // Devices came or went: devicePaths() has changed.
    void changed();
};

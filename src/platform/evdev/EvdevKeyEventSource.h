#pragma once

#include "InputDeviceDirectory.h"
#include "KeyEventSource.h"

#include <QHash>
#include <QSet>

#include <memory>

class QSocketNotifier;

// Global key events read from the kernel's keyboards (evdev), for Wayland
// sessions where no X11 client sees the keys of native windows. The devices
// are read, never grabbed: every key still reaches the focused window.
// Keyboards plugged in or removed are followed; a keyboard removed while a
// mode key is held on it releases that key. Only the four modifiers are
// tracked; another key is reported (as its evdev code) only while one of
// them is held, since only then can it cancel a take, and nothing about keys
// is logged here.
//
// Reading /dev/input needs the user in the "input" group, which lets every
// program of the user read every keystroke: the fix says so.
class EvdevKeyEventSource final : public KeyEventSource
{
    Q_OBJECT

public:
    // Probes the directory now: trusted when at least one keyboard can be read.
    explicit EvdevKeyEventSource(std::unique_ptr<InputDeviceDirectory> directory, QObject *parent = nullptr);
    ~EvdevKeyEventSource() override;

    bool isTrusted() const override { return m_keyboardsReadable; }
    QString untrustedReason() const override { return m_untrustedReason; }
    bool start() override;
    void stop() override;
    bool isActive() const override { return m_active; }

    // The keyboards being read now.
    int keyboardCount() const { return int(m_devices.size()); }
    // Whether some device could not be opened for lack of permission.
    bool permissionDenied() const { return m_permissionDenied; }

    // Whether a device with these keys is a keyboard: it has letters and a
    // modifier (a mouse has buttons only, a power button one key).
    static bool isKeyboard(const InputDeviceDirectory::KeyBits &keys);
    // The modifier bit of an evdev key code, 0 for other keys.
    static std::uint64_t modifierMask(int code);
    // The text shown when the keyboards cannot be read.
    static QString permissionFix();

private:
    struct Device;

    void rescan();
    void openDevice(const QString &path);
    void removeDevice(const QString &path);
    void readDevice(Device &device);
    void handleEvent(Device &device, quint16 type, quint16 code, qint32 value);
    // The modifiers the device holds now, as the kernel says.
    void readHeldModifiers(Device &device);
    void resync(Device &device);
    // The word of what every keyboard holds.
    std::uint64_t heldFlags() const;
    void publishFlags();

    std::unique_ptr<InputDeviceDirectory> m_directory;
    QHash<QString, std::shared_ptr<Device>> m_devices;
    // Devices seen and found not to be keyboards, or unreadable: not retried
    // until they vanish and come back.
    QSet<QString> m_ignored;
    bool m_keyboardsReadable = false;
    bool m_permissionDenied = false;
    QString m_untrustedReason;
    bool m_active = false;
    std::uint64_t m_flags = 0;
};

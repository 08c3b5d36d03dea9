#include "EvdevKeyEventSource.h"

#include "ModifierKey.h"

#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <linux/input.h>
#include <unistd.h>

struct EvdevKeyEventSource::Device
{
    QString path;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    // Bytes of a record split across reads (a pipe may split them).
    QByteArray pending;
    // The modifier keys held on this keyboard, by evdev code.
    QSet<int> held;
    // Between SYN_DROPPED and the next SYN_REPORT the kernel lost events:
    // they are skipped and the held keys read afresh.
    bool dropping = false;

    ~Device()
    {
        // Later: the device may go while its notifier is delivering.
        notifier->setEnabled(false);
        notifier.release()->deleteLater();
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

bool isLockKey(int code)
{
    return code == KEY_CAPSLOCK || code == KEY_NUMLOCK || code == KEY_SCROLLLOCK;
}

bool isButton(int code)
{
    return code >= BTN_MISC && code < KEY_OK;
}

int buttonNumber(int code)
{
    // The numbers an X server gives the same buttons.
    switch (code) {
    case BTN_LEFT:
        return 1;
    case BTN_MIDDLE:
        return 2;
    case BTN_RIGHT:
        return 3;
    default:
        return code;
    }
}

} // namespace

EvdevKeyEventSource::EvdevKeyEventSource(std::unique_ptr<InputDeviceDirectory> directory, QObject *parent)
    : KeyEventSource(parent), m_directory(std::move(directory))
{
    connect(m_directory.get(), &InputDeviceDirectory::changed, this, &EvdevKeyEventSource::rescan);
    rescan();
}

EvdevKeyEventSource::~EvdevKeyEventSource() = default;

bool EvdevKeyEventSource::isKeyboard(const InputDeviceDirectory::KeyBits &keys)
{
    const bool letters = keys.test(KEY_A) && keys.test(KEY_Z) && keys.test(KEY_SPACE);
    const bool modifier = keys.test(KEY_LEFTCTRL) || keys.test(KEY_LEFTALT) || keys.test(KEY_LEFTSHIFT)
                          || keys.test(KEY_LEFTMETA);
    return letters && modifier;
}

std::uint64_t EvdevKeyEventSource::modifierMask(int code)
{
    switch (code) {
    case KEY_LEFTALT:
    case KEY_RIGHTALT:
        return ModifierMask::Option;
    case KEY_LEFTCTRL:
    case KEY_RIGHTCTRL:
        return ModifierMask::Control;
    case KEY_LEFTMETA:
    case KEY_RIGHTMETA:
        return ModifierMask::Command;
    case KEY_LEFTSHIFT:
    case KEY_RIGHTSHIFT:
        return ModifierMask::Shift;
    default:
        return 0;
    }
}

QString EvdevKeyEventSource::permissionFix()
{
    return QStringLiteral("the keyboards under /dev/input cannot be read: run `sudo usermod -aG input $USER`, then "
                          "log out and in again (this lets every program you run read your keystrokes)");
}

bool EvdevKeyEventSource::start()
{
    if (m_active)
        return true;
    if (!m_keyboardsReadable)
        return false;
    m_active = true;
    // What was typed before now is not ours to see; the keys already held
    // are known, so that their release is no surprise, but not reported.
    const auto devices = m_devices;
    for (const auto &device : devices) {
        char discard[sizeof(input_event) * 64];
        while (::read(device->fd, discard, sizeof(discard)) > 0) {
        }
        device->pending.clear();
        device->dropping = false;
        readHeldModifiers(*device);
        device->notifier->setEnabled(true);
    }
    m_flags = heldFlags();
    return true;
}

void EvdevKeyEventSource::stop()
{
    if (!m_active)
        return;
    m_active = false;
    for (const auto &device : std::as_const(m_devices)) {
        device->notifier->setEnabled(false);
        device->held.clear();
    }
    m_flags = 0;
}

void EvdevKeyEventSource::rescan()
{
    const QStringList present = m_directory->devicePaths();
    const QStringList known = m_devices.keys();
    for (const QString &path : known) {
        if (!present.contains(path))
            removeDevice(path);
    }
    for (auto it = m_ignored.begin(); it != m_ignored.end();) {
        if (present.contains(*it))
            ++it;
        else
            it = m_ignored.erase(it);
    }
    m_permissionDenied = false;
    for (const QString &path : present) {
        if (!m_devices.contains(path) && !m_ignored.contains(path))
            openDevice(path);
    }
    m_keyboardsReadable = !m_devices.isEmpty();
    if (m_keyboardsReadable)
        m_untrustedReason.clear();
    else if (m_permissionDenied)
        m_untrustedReason = permissionFix();
    else
        m_untrustedReason = QStringLiteral("no keyboard was found under /dev/input");
}

void EvdevKeyEventSource::openDevice(const QString &path)
{
    QString error;
    int errorNumber = 0;
    std::optional<InputDeviceDirectory::OpenedDevice> opened = m_directory->open(path, &error, &errorNumber);
    if (!opened) {
        if (errorNumber == EACCES || errorNumber == EPERM)
            m_permissionDenied = true;
        // Not remembered as ignored: permissions may be granted a moment later.
        return;
    }
    if (!isKeyboard(opened->keys)) {
        ::close(opened->fd);
        m_ignored.insert(path);
        return;
    }
    auto device = std::make_shared<Device>();
    device->path = path;
    device->fd = opened->fd;
    device->notifier = std::make_unique<QSocketNotifier>(device->fd, QSocketNotifier::Read);
    device->notifier->setEnabled(m_active);
    // The device is held by a weak pointer: reading it may remove it.
    std::weak_ptr<Device> weak = device;
    connect(device->notifier.get(), &QSocketNotifier::activated, this, [this, weak] {
        if (const std::shared_ptr<Device> alive = weak.lock())
            readDevice(*alive);
    });
    m_devices.insert(path, device);
    if (m_active)
        resync(*device);
}

void EvdevKeyEventSource::removeDevice(const QString &path)
{
    // Its held modifiers go with it: a take held on it ends as a release would.
    if (!m_devices.remove(path))
        return;
    m_keyboardsReadable = !m_devices.isEmpty();
    if (m_active)
        publishFlags();
}

void EvdevKeyEventSource::readDevice(Device &device)
{
    const QString path = device.path;
    char buffer[sizeof(input_event) * 64];
    while (m_active) {
        const ssize_t count = ::read(device.fd, buffer, sizeof(buffer));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (count <= 0) {
            // End of file or ENODEV: the keyboard was unplugged.
            removeDevice(path);
            return;
        }
        device.pending.append(buffer, count);
        qsizetype offset = 0;
        for (; offset + qsizetype(sizeof(input_event)) <= device.pending.size() && m_active;
             offset += sizeof(input_event)) {
            input_event event;
            std::memcpy(&event, device.pending.constData() + offset, sizeof(event));
            handleEvent(device, event.type, event.code, event.value);
        }
        device.pending.remove(0, offset);
    }
}

void EvdevKeyEventSource::handleEvent(Device &device, quint16 type, quint16 code, qint32 value)
{
    if (type == EV_SYN) {
        if (code == SYN_DROPPED) {
            device.dropping = true;
        } else if (code == SYN_REPORT && device.dropping) {
            device.dropping = false;
            resync(device);
        }
        return;
    }
    // value 2 is the key's autorepeat: the key was already down.
    if (type != EV_KEY || device.dropping || value == 2)
        return;
    if (modifierMask(code)) {
        if (value == 1)
            device.held.insert(code);
        else
            device.held.remove(code);
        publishFlags();
        return;
    }
    if (value == 1 && code == KEY_ESC)
        Q_EMIT escapeDown();
    // Other keys matter only as combinations with a held modifier.
    if (value != 1 || !m_flags || isLockKey(code))
        return;
    if (isButton(code))
        Q_EMIT buttonDown(buttonNumber(code));
    else
        Q_EMIT keyDown(code);
}

void EvdevKeyEventSource::readHeldModifiers(Device &device)
{
    device.held.clear();
    const InputDeviceDirectory::KeyBits keys = m_directory->heldKeys(device.fd);
    for (std::size_t code = 0; code < keys.size(); ++code) {
        if (keys.test(code) && modifierMask(int(code)))
            device.held.insert(int(code));
    }
}

void EvdevKeyEventSource::resync(Device &device)
{
    readHeldModifiers(device);
    publishFlags();
}

std::uint64_t EvdevKeyEventSource::heldFlags() const
{
    std::uint64_t flags = 0;
    for (const auto &device : std::as_const(m_devices)) {
        for (int code : std::as_const(device->held))
            flags |= modifierMask(code);
    }
    return flags;
}

void EvdevKeyEventSource::publishFlags()
{
    const std::uint64_t flags = heldFlags();
    if (flags == m_flags)
        return;
    m_flags = flags;
    Q_EMIT flagsChanged(flags);
}

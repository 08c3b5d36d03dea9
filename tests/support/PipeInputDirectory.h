#pragma once

#include "evdev/InputDeviceDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <linux/input.h>
#include <unistd.h>

// Input devices made of pipes: the test writes recorded input_event records
// into a device, closes it to unplug it, and says which keys each device has
// and which it holds. There is no /dev/input here.
class PipeInputDirectory final : public InputDeviceDirectory
{
    Q_OBJECT

public:
    static KeyBits keyboardKeys()
    {
        KeyBits keys;
        for (int code = KEY_ESC; code <= KEY_KPDOT; ++code)
            keys.set(code);
        keys.set(KEY_RIGHTCTRL).set(KEY_RIGHTALT).set(KEY_LEFTMETA).set(KEY_RIGHTMETA);
        return keys;
    }
    static KeyBits mouseKeys() { return KeyBits().set(BTN_LEFT).set(BTN_RIGHT).set(BTN_MIDDLE); }

    ~PipeInputDirectory() override
    {
        for (const Device &device : std::as_const(m_devices))
            closeWriteEnd(device);
    }

    // A device appears (announced when announce is true, as a hot-plug is).
    void add(const QString &path, KeyBits keys, bool announce = true)
    {
        int fds[2];
        if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
            qFatal("pipe2 failed");
        m_devices.insert(path, {fds[0], fds[1], keys, {}, 0});
        if (announce)
            Q_EMIT changed();
    }
    // The device cannot be opened (errno, e.g. EACCES).
    void refuse(const QString &path, int errorNumber)
    {
        m_devices.insert(path, {-1, -1, {}, {}, errorNumber});
    }
    // Unplugged: its node goes and its reader sees the end of the stream.
    void unplug(const QString &path, bool announce = true)
    {
        closeWriteEnd(m_devices.take(path));
        if (announce)
            Q_EMIT changed();
    }
    // The device's kernel buffer overflowed: SYN_DROPPED, then the state
    // held stands, readable through heldKeys().
    void setHeld(const QString &path, KeyBits held) { m_devices[path].held = held; }

    void write(const QString &path, quint16 type, quint16 code, qint32 value)
    {
        input_event event{};
        event.type = type;
        event.code = code;
        event.value = value;
        writeBytes(path, QByteArray(reinterpret_cast<const char *>(&event), sizeof(event)));
    }
    // A key event followed by the report that ends its frame, as the kernel sends them.
    void key(const QString &path, quint16 code, qint32 value)
    {
        write(path, EV_KEY, code, value);
        write(path, EV_SYN, SYN_REPORT, 0);
    }
    void writeBytes(const QString &path, const QByteArray &bytes)
    {
        if (::write(m_devices.value(path).writeFd, bytes.constData(), bytes.size()) != bytes.size())
            qFatal("pipe write failed");
    }

    QStringList devicePaths() const override { return m_devices.keys(); }
    std::optional<OpenedDevice> open(const QString &path, QString *error, int *errorNumber) override
    {
        const Device device = m_devices.value(path);
        if (device.refusal) {
            *errorNumber = device.refusal;
            *error = QString::fromLocal8Bit(strerror(device.refusal));
            return std::nullopt;
        }
        m_readFds[path] = fcntl(device.readFd, F_DUPFD_CLOEXEC, 0);
        return OpenedDevice{m_readFds[path], device.keys};
    }
    KeyBits heldKeys(int fd) const override
    {
        for (auto it = m_readFds.cbegin(); it != m_readFds.cend(); ++it) {
            if (it.value() == fd)
                return m_devices.value(it.key()).held;
        }
        return {};
    }

private:
    struct Device
    {
        int readFd = -1;
        int writeFd = -1;
        KeyBits keys;
        KeyBits held;
        int refusal = 0;
    };
    static void closeWriteEnd(const Device &device)
    {
        // The reader keeps its own copy of the read end.
        if (device.writeFd >= 0)
            ::close(device.writeFd);
        if (device.readFd >= 0)
            ::close(device.readFd);
    }

    QHash<QString, Device> m_devices;
    QHash<QString, int> m_readFds;
};

// Lets the event loop deliver what was written until the predicate holds
// (the socket notifiers of the devices need the loop), at most a second.
template <typename Predicate>
bool deliverUntil(Predicate done)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

#pragma once

#include "InputDeviceDirectory.h"

#include <QFileSystemWatcher>
#include <QTimer>

// The kernel's input devices, /dev/input/event*. Keyboards plugged in later
// are announced a moment after their node appears, once udev has set its
// permissions.
class DevInputDirectory final : public InputDeviceDirectory
{
    Q_OBJECT

public:
    explicit DevInputDirectory(QString directory = QStringLiteral("/dev/input"), QObject *parent = nullptr);

    QStringList devicePaths() const override;
    std::optional<OpenedDevice> open(const QString &path, QString *error, int *errorNumber) override;
    KeyBits heldKeys(int fd) const override;

private:
    QString m_directory;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
};

#include "DevInputDirectory.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {
constexpr int kSettleMs = 500;

InputDeviceDirectory::KeyBits toBits(const unsigned char *bytes, std::size_t length)
{
    InputDeviceDirectory::KeyBits bits;
    for (std::size_t i = 0; i < length * 8 && i < bits.size(); ++i) {
        if (bytes[i / 8] & (1u << (i % 8)))
            bits.set(i);
    }
    return bits;
}
} // namespace

DevInputDirectory::DevInputDirectory(QString directory, QObject *parent)
    : InputDeviceDirectory(parent), m_directory(std::move(directory))
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, &InputDeviceDirectory::changed);
    if (QDir(m_directory).exists())
        m_watcher.addPath(m_directory);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle, qOverload<>(&QTimer::start));
}

QStringList DevInputDirectory::devicePaths() const
{
    QStringList paths;
    const QDir dir(m_directory);
    for (const QString &name : dir.entryList({QStringLiteral("event*")}, QDir::System | QDir::Files, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

std::optional<InputDeviceDirectory::OpenedDevice> DevInputDirectory::open(const QString &path, QString *error,
                                                                          int *errorNumber)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *errorNumber = errno;
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return std::nullopt;
    }
    unsigned char bytes[KEY_CNT / 8] = {};
    if (ioctl(fd, EVIOCGBIT(EV_KEY, sizeof(bytes)), bytes) < 0) {
        *errorNumber = errno;
        *error = QString::fromLocal8Bit(std::strerror(errno));
        ::close(fd);
        return std::nullopt;
    }
    return OpenedDevice{fd, toBits(bytes, sizeof(bytes))};
}

InputDeviceDirectory::KeyBits DevInputDirectory::heldKeys(int fd) const
{
    unsigned char bytes[KEY_CNT / 8] = {};
    if (ioctl(fd, EVIOCGKEY(sizeof(bytes)), bytes) < 0)
        return {};
    return toBits(bytes, sizeof(bytes));
}

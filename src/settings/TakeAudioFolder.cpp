#include "TakeAudioFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {
const QString kPrefix = QStringLiteral("take-");
const QString kSuffix = QStringLiteral(".flac");
constexpr QFileDevice::Permissions kOwnerOnlyFolder =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QFileInfoList takeFiles(const QString &folder)
{
    // By name: the names are times, so this is oldest first.
    return QDir(folder).entryInfoList({kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files, QDir::Name);
}
} // namespace

TakeAudioFolder::TakeAudioFolder(QString path) : m_path(std::move(path)) {}

QString TakeAudioFolder::newFile(const QDateTime &time, QString *error) const
{
    if (!QDir().mkpath(m_path)) {
        if (error)
            *error = QStringLiteral("cannot create ") + m_path;
        return {};
    }
    QFile::setPermissions(m_path, kOwnerOnlyFolder);
    const QString stem = m_path + QLatin1Char('/') + kPrefix
                         + time.toUTC().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    QString file = stem + kSuffix;
    for (int n = 2; QFile::exists(file); ++n)
        file = stem + QStringLiteral("-%1").arg(n) + kSuffix;
    return file;
}

bool TakeAudioFolder::holds(const QString &file) const
{
    const QFileInfo info(file);
    return info.absoluteDir() == QDir(m_path) && info.fileName().startsWith(kPrefix)
           && info.fileName().endsWith(kSuffix);
}

void TakeAudioFolder::prune(const QString &keep, int maxTakes, qint64 maxBytes) const
{
    const QFileInfoList files = takeFiles(m_path);
    qsizetype count = files.size();
    qint64 bytes = 0;
    for (const QFileInfo &file : files)
        bytes += file.size();
    for (const QFileInfo &file : files) {
        if (count <= maxTakes && bytes <= maxBytes)
            break;
        if (file.absoluteFilePath() == QFileInfo(keep).absoluteFilePath())
            continue;
        if (QFile::remove(file.absoluteFilePath())) {
            bytes -= file.size();
            --count;
        }
    }
}

bool TakeAudioFolder::clear(QString *error) const
{
    for (const QFileInfo &file : takeFiles(m_path)) {
        if (!QFile::remove(file.absoluteFilePath())) {
            if (error)
                *error = QStringLiteral("cannot remove ") + file.absoluteFilePath();
            return false;
        }
    }
    return true;
}

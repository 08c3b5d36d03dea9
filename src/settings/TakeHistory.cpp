#include "TakeHistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
constexpr QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                             | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}
} // namespace

TakeHistory::TakeHistory(QString path) : m_path(std::move(path)) {}

QString TakeHistory::defaultPath()
{
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty())
        data = QDir::homePath() + QStringLiteral("/.local/share");
    return data + QStringLiteral("/orvo/Quillwren/history.jsonl");
}

QList<QByteArray> TakeHistory::lines() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    lines.removeAll(QByteArray());
    return lines;
}

bool TakeHistory::append(const TakeRecord &record, QString *error)
{
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return fail(error, QStringLiteral("cannot create ") + QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    // Created readable by the user alone; an older file is made so too.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append, kOwnerOnly))
        return fail(error, file.errorString());
    if (file.permissions() & kOthers)
        file.setPermissions(kOwnerOnly);
    QByteArray line = record.toJson() + '\n';
    // After a line cut short, the record starts a line of its own.
    if (file.size() > 0) {
        file.seek(file.size() - 1);
        if (file.read(1) != "\n")
            line.prepend('\n');
    }
    if (file.write(line) != line.size() || !file.flush())
        return fail(error, file.errorString());
    file.close();
    const QList<QByteArray> all = lines();
    if (all.size() > kLimit)
        return rewrite(all.mid(all.size() - kLimit), error);
    return true;
}

bool TakeHistory::rewrite(const QList<QByteArray> &lines, QString *error)
{
    // Written aside and moved into place: the old file stays whole until
    // the new one is.
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(error, file.errorString());
    file.setPermissions(kOwnerOnly);
    for (const QByteArray &line : lines)
        file.write(line + '\n');
    if (!file.commit())
        return fail(error, file.errorString());
    return true;
}

bool TakeHistory::update(const TakeRecord &before, const TakeRecord &after, QString *error)
{
    QList<QByteArray> all = lines();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        const std::optional<TakeRecord> record = TakeRecord::fromJson(*it);
        if (record && record->time == before.time && record->mode == before.mode) {
            *it = after.toJson();
            return rewrite(all, error);
        }
    }
    return fail(error, QStringLiteral("the take is no longer in the history"));
}

QList<TakeRecord> TakeHistory::newest(int count) const
{
    QList<TakeRecord> records;
    const QList<QByteArray> all = lines();
    for (auto it = all.crbegin(); it != all.crend() && (count < 0 || records.size() < count); ++it) {
        std::optional<TakeRecord> record = TakeRecord::fromJson(*it);
        if (!record)
            continue;
        if (!record->audio.isEmpty() && !QFile::exists(record->audio)) {
            record->audio.clear();
            record->audioMs = -1;
        }
        records.append(*record);
    }
    return records;
}

TakeAudioFolder TakeHistory::audioFolder() const
{
    return TakeAudioFolder(QFileInfo(m_path).absolutePath() + QStringLiteral("/audio"));
}

bool TakeHistory::clear(QString *error)
{
    if (!audioFolder().clear(error))
        return false;
    if (!QFile::exists(m_path))
        return true;
    return rewrite({}, error);
}

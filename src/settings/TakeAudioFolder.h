#pragma once

#include <QDateTime>
#include <QString>

// The folder of the takes' kept audio, beside the history and readable by
// the user alone: one FLAC file per take, named by its time so that the
// names sort oldest first. Bounded: the newest kMaxTakes files and kMaxBytes
// in all, the oldest removed first.
class TakeAudioFolder
{
public:
    static constexpr int kMaxTakes = 50;
    static constexpr qint64 kMaxBytes = 200 * 1024 * 1024;

    explicit TakeAudioFolder(QString path);

    const QString &path() const { return m_path; }
    // A new file's path for a take that started at time (the folder is made
    // if need be); empty with why in *error when the folder cannot be made.
    QString newFile(const QDateTime &time, QString *error = nullptr) const;
    // Whether the path names a take's file in this folder.
    bool holds(const QString &file) const;
    // Removes the oldest files beyond the bounds; never the one named keep.
    void prune(const QString &keep = {}, int maxTakes = kMaxTakes, qint64 maxBytes = kMaxBytes) const;
    bool clear(QString *error = nullptr) const;

private:
    QString m_path;
};

#pragma once

#include "TakeAudioFolder.h"
#include "TakeRecord.h"

#include <QList>
#include <QString>

// The history of takes: one JSON line per take in a file only the user can
// read, the newest kLimit kept. A record is added with one write, so a crash
// can at worst cut the last line short; such a line is skipped on reading
// and the next record starts on a line of its own. The takes' kept audio is
// in the folder "audio" beside the file.
class TakeHistory
{
public:
    static constexpr int kLimit = 500;

    explicit TakeHistory(QString path);
    // $XDG_DATA_HOME/orvo/Quillwren/history.jsonl
    static QString defaultPath();

    const QString &path() const { return m_path; }
    // False (and why in *error) when the record could not be kept.
    bool append(const TakeRecord &record, QString *error = nullptr);
    // Replaces the record of the take that began at before.time (a take sent
    // again), where it stands; false when there is none.
    bool update(const TakeRecord &before, const TakeRecord &after, QString *error = nullptr);
    // The newest records, newest first; at most count (all when negative).
    // A record whose audio is no longer kept names none.
    QList<TakeRecord> newest(int count = -1) const;
    // Empties the history and removes the kept audio.
    bool clear(QString *error = nullptr);
    TakeAudioFolder audioFolder() const;

private:
    QList<QByteArray> lines() const;
    bool rewrite(const QList<QByteArray> &lines, QString *error);

    QString m_path;
};

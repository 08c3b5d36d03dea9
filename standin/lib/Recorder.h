#pragma once

#include <QFile>
#include <QJsonObject>
#include <QList>
#include <QObject>

#include <memory>

// Everything the stand-in receives, one JSON object per event, in order: kept
// in memory for in-process tests and the control request, and appended as
// JSON lines to a file when one is given. API keys appear only masked.
class Recorder : public QObject
{
    Q_OBJECT

public:
    explicit Recorder(QObject *parent = nullptr);

    // Adds "seq" and "time_ms" (since the stand-in started) to the entry.
    void record(QJsonObject entry);
    const QList<QJsonObject> &records() const { return m_records; }
    QList<QJsonObject> recordsOfKind(const QString &kind) const;
    void clear();
    bool setFile(const QString &path);
    // When the stand-in started (ms since the epoch): what "time_ms" counts from.
    qint64 startedAt() const { return m_started; }

    // "Bearer sk-1****cdef": the form in which an Authorization header is kept.
    static QString maskAuthorization(const QByteArray &value);

Q_SIGNALS:
    void recorded(const QJsonObject &entry);

private:
    QList<QJsonObject> m_records;
    std::unique_ptr<QFile> m_file;
    qint64 m_started;
    int m_sequence = 0;
};

#include "Recorder.h"

#include <QDateTime>
#include <QJsonDocument>

Recorder::Recorder(QObject *parent) : QObject(parent), m_started(QDateTime::currentMSecsSinceEpoch()) {}

void Recorder::record(QJsonObject entry)
{
    entry.insert(QStringLiteral("seq"), ++m_sequence);
    entry.insert(QStringLiteral("time_ms"), QDateTime::currentMSecsSinceEpoch() - m_started);
    m_records.append(entry);
    if (m_file) {
        m_file->write(QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n');
        m_file->flush();
    }
    Q_EMIT recorded(entry);
}

QList<QJsonObject> Recorder::recordsOfKind(const QString &kind) const
{
    QList<QJsonObject> result;
    for (const QJsonObject &entry : m_records) {
        if (entry.value(QStringLiteral("kind")).toString() == kind)
            result.append(entry);
    }
    return result;
}

void Recorder::clear()
{
    m_records.clear();
}

bool Recorder::setFile(const QString &path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    m_file = std::move(file);
    return true;
}

QString Recorder::maskAuthorization(const QByteArray &value)
{
    if (value.isEmpty())
        return {};
    const QString text = QString::fromUtf8(value);
    const QString prefix = QStringLiteral("Bearer ");
    const QString key = text.startsWith(prefix) ? text.mid(prefix.size()) : text;
    const QString masked = key.size() < 9 ? QStringLiteral("****")
                                          : key.left(4) + QStringLiteral("****") + key.right(4);
    return (text.startsWith(prefix) ? prefix : QString()) + masked;
}

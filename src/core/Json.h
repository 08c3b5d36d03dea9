#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

// Small helpers for the strict JSON of stored records and wire frames.
namespace Json {

// Builds compact JSON object text with its members in the order they were
// added. (QJsonObject sorts its keys; stored records and frames are written in
// field order so that they read as the documented form.)
class ObjectWriter
{
public:
    ObjectWriter &add(const QString &key, const QJsonValue &value);
    // A member whose value is JSON text already written, e.g. a nested record.
    ObjectWriter &addRaw(const QString &key, const QByteArray &json);
    QByteArray bytes() const;

private:
    QByteArray m_members;
};

// Compact text of a single JSON value.
QByteArray compact(const QJsonValue &value);

// The top-level object of a JSON text, or nothing when the text is not valid
// JSON or not an object.
std::optional<QJsonObject> parseObject(const QByteArray &text);

// Members of an exact JSON type; nothing when absent or of another type.
std::optional<QString> stringMember(const QJsonObject &object, const QString &key);
std::optional<bool> boolMember(const QJsonObject &object, const QString &key);
std::optional<QJsonObject> objectMember(const QJsonObject &object, const QString &key);
// A JSON number that is a whole number a qint64 holds; nothing otherwise
// (1.5, 1e300 and non-numbers alike).
std::optional<qint64> integer(const QJsonValue &value);

} // namespace Json

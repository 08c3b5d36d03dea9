#include "Json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace Json {

QByteArray compact(const QJsonValue &value)
{
    // QJsonDocument only writes arrays and objects: wrap the value and strip the brackets.
    const QByteArray wrapped = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return wrapped.mid(1, wrapped.size() - 2);
}

ObjectWriter &ObjectWriter::add(const QString &key, const QJsonValue &value)
{
    return addRaw(key, compact(value));
}

ObjectWriter &ObjectWriter::addRaw(const QString &key, const QByteArray &json)
{
    if (!m_members.isEmpty())
        m_members += ',';
    m_members += compact(QJsonValue(key));
    m_members += ':';
    m_members += json;
    return *this;
}

QByteArray ObjectWriter::bytes() const
{
    return '{' + m_members + '}';
}

std::optional<QJsonObject> parseObject(const QByteArray &text)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QString> stringMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

std::optional<bool> boolMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isBool())
        return std::nullopt;
    return value.toBool();
}

std::optional<QJsonObject> objectMember(const QJsonObject &object, const QString &key)
{
    const QJsonValue value = object.value(key);
    if (!value.isObject())
        return std::nullopt;
    return value.toObject();
}

std::optional<qint64> integer(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    // 2^63 is the first double beyond qint64; converting one at or past it is
    // undefined, not merely wrong.
    constexpr double kLimit = 9223372036854775808.0;
    if (std::floor(number) != number || number < -kLimit || number >= kLimit)
        return std::nullopt;
    return qint64(number);
}

} // namespace Json

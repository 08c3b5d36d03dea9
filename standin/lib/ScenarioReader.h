#pragma once

#include "Scenario.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QString>

namespace ScenarioReading {

// Reads the members of one JSON object, refusing members it does not know so
// that a misspelt scenario fails loudly instead of being ignored.
class Reader
{
public:
    Reader(const QJsonObject &object, QString context, QString *error)
        : m_object(object), m_context(std::move(context)), m_error(error)
    {
    }

    bool ok() const { return m_error->isEmpty(); }

    void integer(const char *name, int &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            if (value.isDouble() && value.toDouble() >= 0 && value.toDouble() == double(value.toInt()))
                target = value.toInt();
            else
                fail(name, "a whole number of at least 0");
        }
    }
    void boolean(const char *name, bool &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            if (value.isBool())
                target = value.toBool();
            else
                fail(name, "true or false");
        }
    }
    void string(const char *name, QString &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            if (value.isString())
                target = value.toString();
            else
                fail(name, "a string");
        }
    }
    void strings(const char *name, QStringList &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            QStringList list;
            for (const QJsonValue &item : value.toArray()) {
                if (!item.isString())
                    return fail(name, "a list of strings");
                list << item.toString();
            }
            if (!value.isArray())
                return fail(name, "a list of strings");
            target = list;
        }
    }
    void object(const char *name, std::optional<QJsonObject> &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            if (value.isObject())
                target = value.toObject();
            else
                fail(name, "an object");
        }
    }
    void answers(const char *name, QHash<QString, QString> &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!it->isString())
                    return fail(name, "an object of question → answer strings");
                target.insert(it.key().trimmed(), it->toString());
            }
            if (!value.isObject())
                fail(name, "an object of question → answer strings");
        }
    }
    void numbers(const char *name, QHash<QString, int> &target)
    {
        if (const QJsonValue value = take(name); !value.isUndefined()) {
            const QJsonObject object = value.toObject();
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!it->isDouble() || it->toDouble() < 0)
                    return fail(name, "an object of text → non-negative numbers");
                target.insert(it.key(), it->toInt());
            }
            if (!value.isObject())
                fail(name, "an object of text → non-negative numbers");
        }
    }
    void fault(Fault &target)
    {
        static const QSet<QString> types{
            QStringLiteral("never-answer"), QStringLiteral("close-after"), QStringLiteral("task-failed"),
            QStringLiteral("http-error"),   QStringLiteral("malformed"),   QStringLiteral("split-packets"),
            QStringLiteral("no-done")};
        if (const QJsonValue value = take("fault"); !value.isUndefined()) {
            QJsonObject object = value.toObject();
            const QString type = object.take(QStringLiteral("type")).toString();
            if (!value.isObject() || !types.contains(type))
                return fail("fault", "an object whose \"type\" is one of never-answer, close-after, "
                                     "task-failed, http-error, malformed, split-packets, no-done");
            target = Fault{type, object};
        }
    }
    // Call last: anything not taken is unknown.
    void finish()
    {
        if (ok() && !m_object.isEmpty())
            *m_error = QStringLiteral("unknown member \"%1\" in %2").arg(m_object.keys().first(), m_context);
    }

private:
    QJsonValue take(const char *name)
    {
        return ok() ? m_object.take(QLatin1String(name)) : QJsonValue(QJsonValue::Undefined);
    }
    void fail(const char *name, const char *expected)
    {
        if (ok())
            *m_error = QStringLiteral("%1.%2 must be %3").arg(m_context, QLatin1String(name), QLatin1String(expected));
    }

    QJsonObject m_object;
    QString m_context;
    QString *m_error;
};

inline QJsonObject section(const QJsonObject &root, const char *name, QString *error)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isUndefined() && !value.isObject())
        *error = QStringLiteral("%1 must be an object").arg(QLatin1String(name));
    return value.toObject();
}

} // namespace ScenarioReading

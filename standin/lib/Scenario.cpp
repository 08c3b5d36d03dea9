#include "Scenario.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

int Fault::intOption(const char *name, int fallback) const
{
    const QJsonValue value = options.value(QLatin1String(name));
    return value.isDouble() ? value.toInt() : fallback;
}

QString Fault::stringOption(const char *name, const QString &fallback) const
{
    const QJsonValue value = options.value(QLatin1String(name));
    return value.isString() ? value.toString() : fallback;
}

QStringList Fault::stringsOption(const char *name, const QStringList &fallback) const
{
    const QJsonArray given = options.value(QLatin1String(name)).toArray();
    if (given.isEmpty())
        return fallback;
    QStringList strings;
    for (const QJsonValue &value : given)
        strings << value.toString();
    return strings;
}

QString ChatScript::answerFor(const QString &question) const
{
    const auto it = answers.constFind(question.trimmed());
    if (it != answers.cend())
        return *it;
    if (!defaultAnswer.isEmpty())
        return defaultAnswer;
    return QStringLiteral("你好！我是本地替身服务。你刚才问的是：“%1”。这是第二句话，用来检验分句。最后一句在这里！")
        .arg(question.trimmed());
}

const QStringList &CleanupScript::behaviours()
{
    static const QStringList names{QStringLiteral("edit"),      QStringLiteral("answer"), QStringLiteral("preamble"),
                                   QStringLiteral("empty"),     QStringLiteral("translate"), QStringLiteral("tag"),
                                   QStringLiteral("think"),     QStringLiteral("reasoning")};
    return names;
}

namespace {

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

QJsonObject section(const QJsonObject &root, const char *name, QString *error)
{
    const QJsonValue value = root.value(QLatin1String(name));
    if (!value.isUndefined() && !value.isObject())
        *error = QStringLiteral("%1 must be an object").arg(QLatin1String(name));
    return value.toObject();
}

} // namespace

std::optional<Scenario> Scenario::fromJson(const QByteArray &json, QString *error)
{
    error->clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject()) {
        *error = QStringLiteral("the scenario is not a JSON object: ") + parseError.errorString();
        return std::nullopt;
    }
    Scenario scenario;
    QJsonObject root = document.object();
    for (const char *name : {"recognition", "synthesis", "chat", "vision", "cleanup", "customization"})
        root.remove(QLatin1String(name));
    Reader top(root, QStringLiteral("the scenario"), error);
    top.string("apiKey", scenario.apiKey);
    top.answers("hostKeys", scenario.hostKeys);
    top.finish();
    if (!error->isEmpty())
        return std::nullopt;

    const QJsonObject object = document.object();
    {
        Reader r(section(object, "recognition", error), QStringLiteral("recognition"), error);
        auto &s = scenario.recognition;
        r.integer("startDelayMs", s.startDelayMs);
        r.strings("sentences", s.sentences);
        r.integer("interimResults", s.interimResults);
        r.integer("audioMsPerResult", s.audioMsPerResult);
        r.integer("minVoicedMs", s.minVoicedMs);
        r.boolean("heartbeat", s.heartbeat);
        r.integer("finishDelayMs", s.finishDelayMs);
        r.object("finishedPayload", s.finishedPayload);
        r.strings("models", s.models);
        r.fault(s.fault);
        r.finish();
    }
    {
        Reader r(section(object, "synthesis", error), QStringLiteral("synthesis"), error);
        auto &s = scenario.synthesis;
        r.integer("startDelayMs", s.startDelayMs);
        r.integer("chunkBytes", s.chunkBytes);
        r.integer("chunkDelayMs", s.chunkDelayMs);
        r.string("voice", s.voice);
        r.numbers("toneHz", s.toneHz);
        r.numbers("delayMs", s.delayMs);
        r.numbers("frames", s.frames);
        r.numbers("spreadMs", s.spreadMs);
        r.numbers("stallAfterFrames", s.stallAfterFrames);
        r.numbers("failAfterFrames", s.failAfterFrames);
        r.strings("models", s.models);
        r.fault(s.fault);
        r.finish();
        for (auto it = s.frames.cbegin(); error->isEmpty() && it != s.frames.cend(); ++it) {
            if (it.value() < 1)
                *error = QStringLiteral("synthesis.frames must be at least 1");
        }
        if (error->isEmpty() && s.chunkBytes < 1)
            *error = QStringLiteral("synthesis.chunkBytes must be at least 1");
    }
    {
        Reader r(section(object, "chat", error), QStringLiteral("chat"), error);
        auto &s = scenario.chat;
        r.answers("answers", s.answers);
        r.string("defaultAnswer", s.defaultAnswer);
        r.integer("chunkChars", s.chunkChars);
        r.integer("chunkDelayMs", s.chunkDelayMs);
        r.boolean("crlf", s.crlf);
        r.strings("models", s.models);
        r.fault(s.fault);
        r.finish();
        if (error->isEmpty() && s.chunkChars < 1)
            *error = QStringLiteral("chat.chunkChars must be at least 1");
    }
    {
        Reader r(section(object, "vision", error), QStringLiteral("vision"), error);
        auto &s = scenario.vision;
        r.string("reply", s.reply);
        r.integer("delayMs", s.delayMs);
        r.strings("models", s.models);
        r.fault(s.fault);
        r.finish();
    }
    {
        Reader r(section(object, "cleanup", error), QStringLiteral("cleanup"), error);
        auto &s = scenario.cleanup;
        r.answers("edits", s.edits);
        r.string("behaviour", s.behaviour);
        r.integer("delayMs", s.delayMs);
        r.integer("chunkChars", s.chunkChars);
        r.integer("chunkDelayMs", s.chunkDelayMs);
        r.boolean("whole", s.whole);
        r.boolean("refuseThinking", s.refuseThinking);
        r.fault(s.fault);
        r.finish();
        if (error->isEmpty() && !CleanupScript::behaviours().contains(s.behaviour))
            *error = QStringLiteral("cleanup.behaviour must be one of ") + CleanupScript::behaviours().join(QStringLiteral(", "));
        if (error->isEmpty() && s.chunkChars < 1)
            *error = QStringLiteral("cleanup.chunkChars must be at least 1");
    }
    {
        Reader r(section(object, "customization", error), QStringLiteral("customization"), error);
        r.boolean("omitId", scenario.customization.omitId);
        r.integer("delayMs", scenario.customization.delayMs);
        r.fault(scenario.customization.fault);
        r.finish();
    }
    if (!error->isEmpty())
        return std::nullopt;
    return scenario;
}

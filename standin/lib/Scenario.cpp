#include "Scenario.h"

#include "ScenarioReader.h"

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

using ScenarioReading::Reader;
using ScenarioReading::section;

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
    for (const char *name : {"recognition", "synthesis", "chat", "vision", "cleanup", "customization", "audio"})
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
    {
        Reader r(section(object, "audio", error), QStringLiteral("audio"), error);
        auto &s = scenario.audio;
        r.string("transcript", s.transcript);
        r.integer("delayMs", s.delayMs);
        r.integer("chunkChars", s.chunkChars);
        r.boolean("ignoreStream", s.ignoreStream);
        r.integer("chunkBytes", s.chunkBytes);
        r.integer("chunkDelayMs", s.chunkDelayMs);
        r.strings("transcriptionModels", s.transcriptionModels);
        r.strings("speechModels", s.speechModels);
        r.strings("keylessHosts", s.keylessHosts);
        r.fault(s.fault);
        r.finish();
        if (error->isEmpty() && (s.chunkChars < 1 || s.chunkBytes < 1))
            *error = QStringLiteral("audio.chunkChars and audio.chunkBytes must be at least 1");
    }
    if (!error->isEmpty())
        return std::nullopt;
    return scenario;
}

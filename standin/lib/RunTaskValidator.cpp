#include "RunTaskValidator.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QSet>

#include <cmath>

namespace RunTaskValidator {
namespace {

// One expected member: its JSON type and, where fixed, its value.
struct Member
{
    enum Type { String, Integer, Number, Boolean, Object, Array };
    const char *name;
    Type type;
    QJsonValue value = QJsonValue(QJsonValue::Undefined); // fixed value, if any
    bool optional = false;
};
using Members = QList<Member>;
const QJsonValue kAny(QJsonValue::Undefined);

QString typeName(Member::Type type)
{
    switch (type) {
    case Member::String: return QStringLiteral("a string");
    case Member::Integer: return QStringLiteral("an integer");
    case Member::Number: return QStringLiteral("a number");
    case Member::Boolean: return QStringLiteral("a boolean");
    case Member::Object: return QStringLiteral("an object");
    case Member::Array: return QStringLiteral("a list");
    }
    return {};
}

bool hasType(const QJsonValue &value, Member::Type type)
{
    switch (type) {
    case Member::String: return value.isString();
    case Member::Integer: return value.isDouble() && std::floor(value.toDouble()) == value.toDouble();
    case Member::Number: return value.isDouble();
    case Member::Boolean: return value.isBool();
    case Member::Object: return value.isObject();
    case Member::Array: return value.isArray();
    }
    return false;
}

// Exactly these members (the optional ones may be left out), each of its
// type and fixed value.
QString check(const QJsonObject &object, const QString &path, const Members &members)
{
    QSet<QString> known;
    for (const Member &member : members) {
        const QString name = QLatin1String(member.name);
        known.insert(name);
        const QString where = path.isEmpty() ? name : path + QLatin1Char('.') + name;
        if (!object.contains(name)) {
            if (member.optional)
                continue;
            return where + QStringLiteral(" is missing");
        }
        const QJsonValue value = object.value(name);
        if (!hasType(value, member.type))
            return where + QStringLiteral(" must be ") + typeName(member.type);
        const bool differs = member.value.isDouble() ? value.toDouble() != member.value.toDouble()
                                                     : value != member.value;
        if (!member.value.isUndefined() && differs)
            return where + QStringLiteral(" must be ")
                   + (member.value.isString() ? QLatin1Char('"') + member.value.toString() + QLatin1Char('"')
                                              : member.value.toVariant().toString());
    }
    for (const QString &name : object.keys()) {
        if (!known.contains(name))
            return (path.isEmpty() ? name : path + QLatin1Char('.') + name) + QStringLiteral(" is not a known member");
    }
    return {};
}

QString header(const QJsonObject &frame, const char *action, const QString &taskId)
{
    if (QString problem = check(frame, QString(), {{"header", Member::Object}, {"payload", Member::Object}});
        !problem.isEmpty())
        return problem;
    const QJsonObject header = frame.value(QStringLiteral("header")).toObject();
    if (QString problem = check(header, QStringLiteral("header"),
                                {{"action", Member::String, QString::fromLatin1(action)},
                                 {"task_id", Member::String},
                                 {"streaming", Member::String, QStringLiteral("duplex")}});
        !problem.isEmpty())
        return problem;
    const QString id = header.value(QStringLiteral("task_id")).toString();
    if (id.isEmpty())
        return QStringLiteral("header.task_id must not be empty");
    if (!taskId.isEmpty() && id != taskId)
        return QStringLiteral("header.task_id must be the running task's id %1").arg(taskId);
    return {};
}

QString model(const QJsonObject &payload, const QStringList &models)
{
    const QString name = payload.value(QStringLiteral("model")).toString();
    return models.contains(name) ? QString() : QStringLiteral("payload.model \"%1\" does not exist").arg(name);
}

QString emptyInput(const QJsonObject &payload)
{
    return payload.value(QStringLiteral("input")).toObject().isEmpty() ? QString()
                                                                         : QStringLiteral("payload.input must be an empty object");
}

} // namespace

QString recognition(const QJsonObject &frame, const QStringList &models, bool strict)
{
    if (QString problem = header(frame, "run-task", {}); !problem.isEmpty())
        return problem;
    const QJsonObject payload = frame.value(QStringLiteral("payload")).toObject();
    if (QString problem = check(payload, QStringLiteral("payload"),
                                {{"task_group", Member::String, QStringLiteral("audio")},
                                 {"task", Member::String, QStringLiteral("asr")},
                                 {"function", Member::String, QStringLiteral("recognition")},
                                 {"model", Member::String},
                                 {"parameters", Member::Object},
                                 {"input", Member::Object}});
        !problem.isEmpty())
        return problem;
    // Optional: the languages to expect, of which the service reads the first.
    QJsonObject parameters = payload.value(QStringLiteral("parameters")).toObject();
    if (parameters.contains(QStringLiteral("language_hints"))) {
        const QJsonArray hints = parameters.take(QStringLiteral("language_hints")).toArray();
        static const QStringList known{QStringLiteral("zh"), QStringLiteral("en"), QStringLiteral("ja")};
        if (hints.isEmpty() || !known.contains(hints.first().toString()))
            return QStringLiteral("payload.parameters.language_hints must be a list whose first item is \"zh\", \"en\" or \"ja\"");
    }
    // Optional: the ID of a custom vocabulary (the user's hot words).
    if (parameters.contains(QStringLiteral("vocabulary_id")) && !parameters.take(QStringLiteral("vocabulary_id")).isString())
        return QStringLiteral("payload.parameters.vocabulary_id must be a string");
    Members wanted{{"sample_rate", Member::Integer, 16000},
                   {"format", Member::String, QStringLiteral("pcm")},
                   {"heartbeat", Member::Boolean, kAny, !strict},
                   {"semantic_punctuation_enabled", Member::Boolean, kAny, !strict}};
    if (!strict) {
        // Documented switches the stand-in does not act on.
        wanted << Member{"stream", Member::Boolean, kAny, true}
               << Member{"disfluency_removal_enabled", Member::Boolean, kAny, true}
               << Member{"max_sentence_silence", Member::Integer, kAny, true}
               << Member{"multi_threshold_mode_enabled", Member::Boolean, kAny, true}
               << Member{"punctuation_prediction_enabled", Member::Boolean, kAny, true}
               << Member{"inverse_text_normalization_enabled", Member::Boolean, kAny, true};
    }
    if (QString problem = check(parameters, QStringLiteral("payload.parameters"), wanted); !problem.isEmpty())
        return problem;
    if (QString problem = emptyInput(payload); !problem.isEmpty())
        return problem;
    return model(payload, models);
}

QString synthesis(const QJsonObject &frame, const QStringList &models, bool strict)
{
    if (QString problem = header(frame, "run-task", {}); !problem.isEmpty())
        return problem;
    const QJsonObject payload = frame.value(QStringLiteral("payload")).toObject();
    if (QString problem = check(payload, QStringLiteral("payload"),
                                {{"task_group", Member::String, QStringLiteral("audio")},
                                 {"task", Member::String, QStringLiteral("tts")},
                                 {"function", Member::String, QStringLiteral("SpeechSynthesizer")},
                                 {"model", Member::String},
                                 {"parameters", Member::Object},
                                 {"input", Member::Object}});
        !problem.isEmpty())
        return problem;
    const QJsonObject parameters = payload.value(QStringLiteral("parameters")).toObject();
    Members wanted{{"text_type", Member::String, QStringLiteral("PlainText")},
                   {"voice", Member::String},
                   {"format", Member::String, strict ? QJsonValue(QStringLiteral("mp3")) : kAny},
                   {"sample_rate", Member::Integer, strict ? QJsonValue(22050) : kAny},
                   {"volume", Member::Integer, kAny, !strict},
                   {"rate", Member::Number, kAny, !strict},
                   {"pitch", Member::Number, kAny, !strict}};
    if (!strict) {
        wanted << Member{"enable_ssml", Member::Boolean, kAny, true} << Member{"seed", Member::Integer, kAny, true}
               << Member{"type", Member::Integer, kAny, true}
               << Member{"word_timestamp_enabled", Member::Boolean, kAny, true}
               << Member{"phoneme_timestamp_enabled", Member::Boolean, kAny, true}
               << Member{"bit_rate", Member::Integer, kAny, true} << Member{"instruction", Member::String, kAny, true}
               << Member{"language_hints", Member::Array, kAny, true};
    }
    if (QString problem = check(parameters, QStringLiteral("payload.parameters"), wanted); !problem.isEmpty())
        return problem;
    if (!strict) {
        // "Default" and 0 let the service choose: its MP3 at the model's rate,
        // which is what the stand-in makes; other encodings it cannot.
        const QString format = parameters.value(QStringLiteral("format")).toString();
        if (format != QLatin1String("mp3") && format != QLatin1String("Default"))
            return QStringLiteral("payload.parameters.format \"%1\" is not served here: mp3 or Default").arg(format);
        const int rate = parameters.value(QStringLiteral("sample_rate")).toInt();
        if (rate != 0 && rate != 22050)
            return QStringLiteral("payload.parameters.sample_rate %1 is not served here: 22050 or 0").arg(rate);
    }
    if (parameters.value(QStringLiteral("voice")).toString().isEmpty())
        return QStringLiteral("payload.parameters.voice must not be empty");
    const int volume = parameters.value(QStringLiteral("volume")).toInt(50);
    if (volume < 0 || volume > 100)
        return QStringLiteral("payload.parameters.volume must be between 0 and 100");
    for (const char *name : {"rate", "pitch"}) {
        const double value = parameters.value(QLatin1String(name)).toDouble(1.0);
        if (value < 0.5 || value > 2.0)
            return QStringLiteral("payload.parameters.%1 must be between 0.5 and 2.0").arg(QLatin1String(name));
    }
    if (QString problem = emptyInput(payload); !problem.isEmpty())
        return problem;
    return model(payload, models);
}

QString continueTask(const QJsonObject &frame, const QString &taskId, bool strict)
{
    if (QString problem = header(frame, "continue-task", taskId); !problem.isEmpty())
        return problem;
    const QJsonObject payload = frame.value(QStringLiteral("payload")).toObject();
    Members wanted{{"input", Member::Object}};
    if (!strict) {
        // The service's SDK repeats the run-task's description with each text.
        wanted << Member{"model", Member::String, kAny, true} << Member{"task_group", Member::String, kAny, true}
               << Member{"task", Member::String, kAny, true} << Member{"function", Member::String, kAny, true};
    }
    if (QString problem = check(payload, QStringLiteral("payload"), wanted); !problem.isEmpty())
        return problem;
    return check(payload.value(QStringLiteral("input")).toObject(), QStringLiteral("payload.input"),
                 {{"text", Member::String}});
}

QString finishTask(const QJsonObject &frame, const QString &taskId)
{
    if (QString problem = header(frame, "finish-task", taskId); !problem.isEmpty())
        return problem;
    const QJsonObject payload = frame.value(QStringLiteral("payload")).toObject();
    if (QString problem = check(payload, QStringLiteral("payload"), {{"input", Member::Object}}); !problem.isEmpty())
        return problem;
    return emptyInput(payload);
}

} // namespace RunTaskValidator

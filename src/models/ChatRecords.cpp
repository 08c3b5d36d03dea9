#include "ChatRecords.h"

#include "Json.h"

#include <QJsonArray>


namespace {

// An optional member: missing or null is absent; any other wrong type fails.
template <typename T>
bool optionalMember(const QJsonObject &object, const char *name, std::optional<T> &target,
                    bool (QJsonValue::*isType)() const, T (*convert)(const QJsonValue &))
{
    const QJsonValue value = object.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return true;
    if (!(value.*isType)())
        return false;
    target = convert(value);
    return true;
}

QString toString(const QJsonValue &value)
{
    return value.toString();
}

bool optionalString(const QJsonObject &object, const char *name, std::optional<QString> &target)
{
    return optionalMember<QString>(object, name, target, &QJsonValue::isString, &toString);
}

std::optional<LLMUsage> usageFrom(const QJsonObject &object)
{
    const auto prompt = Json::integer(object.value(QStringLiteral("prompt_tokens")));
    const auto completion = Json::integer(object.value(QStringLiteral("completion_tokens")));
    const auto total = Json::integer(object.value(QStringLiteral("total_tokens")));
    if (!prompt || !completion || !total)
        return std::nullopt;
    return LLMUsage{*prompt, *completion, *total};
}

std::optional<LLMChoice> choiceFrom(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    LLMChoice choice;
    const auto index = Json::integer(object.value(QStringLiteral("index")));
    if (!index)
        return std::nullopt;
    choice.index = *index;
    if (!optionalString(object, "finish_reason", choice.finish_reason))
        return std::nullopt;
    const QJsonValue message = object.value(QStringLiteral("message"));
    if (message.isObject()) {
        choice.message = LLMMessage::fromJson(message.toObject());
        if (!choice.message)
            return std::nullopt;
    } else if (!message.isUndefined() && !message.isNull()) {
        return std::nullopt;
    }
    const QJsonValue delta = object.value(QStringLiteral("delta"));
    if (delta.isObject()) {
        LLMDelta parsed;
        if (!optionalString(delta.toObject(), "role", parsed.role)
            || !optionalString(delta.toObject(), "content", parsed.content))
            return std::nullopt;
        choice.delta = parsed;
    } else if (!delta.isUndefined() && !delta.isNull()) {
        return std::nullopt;
    }
    return choice;
}

QByteArray partJson(const VLContentPart &part)
{
    Json::ObjectWriter writer;
    writer.add(QStringLiteral("type"), part.type);
    if (part.text)
        writer.add(QStringLiteral("text"), *part.text);
    if (part.image_url)
        writer.addRaw(QStringLiteral("image_url"), Json::ObjectWriter().add(QStringLiteral("url"), part.image_url->url).bytes());
    return writer.bytes();
}

} // namespace

QByteArray LLMMessage::toJson() const
{
    return Json::ObjectWriter().add(QStringLiteral("role"), role).add(QStringLiteral("content"), content).bytes();
}

std::optional<LLMMessage> LLMMessage::fromJson(const QJsonObject &object)
{
    const auto role = Json::stringMember(object, QStringLiteral("role"));
    const auto content = Json::stringMember(object, QStringLiteral("content"));
    if (!role || !content)
        return std::nullopt;
    return LLMMessage{*role, *content};
}

QByteArray LLMRequest::toJson() const
{
    QByteArray list = "[";
    for (qsizetype i = 0; i < messages.size(); ++i)
        list += (i ? "," : "") + messages[i].toJson();
    list += ']';
    Json::ObjectWriter writer;
    writer.add(QStringLiteral("model"), model).addRaw(QStringLiteral("messages"), list).add(QStringLiteral("stream"), stream);
    if (temperature)
        writer.add(QStringLiteral("temperature"), *temperature);
    if (max_tokens)
        writer.add(QStringLiteral("max_tokens"), *max_tokens);
    if (enable_thinking)
        writer.add(QStringLiteral("enable_thinking"), *enable_thinking);
    return writer.bytes();
}

std::optional<LLMResponse> LLMResponse::fromJson(const QByteArray &json)
{
    const auto object = Json::parseObject(json);
    if (!object)
        return std::nullopt;
    LLMResponse response;
    const auto id = Json::stringMember(*object, QStringLiteral("id"));
    const auto kind = Json::stringMember(*object, QStringLiteral("object"));
    const auto created = Json::integer(object->value(QStringLiteral("created")));
    const auto model = Json::stringMember(*object, QStringLiteral("model"));
    const QJsonValue choices = object->value(QStringLiteral("choices"));
    if (!id || !kind || !created || !model || !choices.isArray())
        return std::nullopt;
    response.id = *id;
    response.object = *kind;
    response.created = *created;
    response.model = *model;
    for (const QJsonValue &value : choices.toArray()) {
        const auto choice = choiceFrom(value);
        if (!choice)
            return std::nullopt;
        response.choices.append(*choice);
    }
    const QJsonValue usage = object->value(QStringLiteral("usage"));
    if (usage.isObject()) {
        response.usage = usageFrom(usage.toObject());
        if (!response.usage)
            return std::nullopt; // all three counts are required when usage is there
    } else if (!usage.isUndefined() && !usage.isNull()) {
        return std::nullopt;
    }
    return response;
}

std::optional<APIError> APIError::fromJson(const QByteArray &json)
{
    const auto object = Json::parseObject(json);
    const auto error = object ? Json::objectMember(*object, QStringLiteral("error")) : std::nullopt;
    if (!error)
        return std::nullopt;
    APIError result;
    const auto message = Json::stringMember(*error, QStringLiteral("message"));
    if (!message || !optionalString(*error, "type", result.error.type)
        || !optionalString(*error, "code", result.error.code))
        return std::nullopt;
    result.error.message = *message;
    return result;
}

QByteArray VLRequest::toJson() const
{
    QByteArray list = "[";
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const VLMessage &message = messages[i];
        QByteArray content;
        if (const auto *text = std::get_if<QString>(&message.content)) {
            content = Json::compact(*text);
        } else {
            content = "[";
            const auto &parts = std::get<QList<VLContentPart>>(message.content);
            for (qsizetype j = 0; j < parts.size(); ++j)
                content += (j ? "," : "") + partJson(parts[j]);
            content += ']';
        }
        list += (i ? "," : "")
                + Json::ObjectWriter().add(QStringLiteral("role"), message.role).addRaw(QStringLiteral("content"), content).bytes();
    }
    list += ']';
    Json::ObjectWriter writer;
    writer.add(QStringLiteral("model"), model).addRaw(QStringLiteral("messages"), list);
    if (max_tokens)
        writer.add(QStringLiteral("max_tokens"), *max_tokens);
    return writer.bytes();
}

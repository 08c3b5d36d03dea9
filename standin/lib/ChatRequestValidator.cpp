#include "ChatRequestValidator.h"

#include <QJsonArray>
#include <QSet>

#include <cmath>

namespace ChatRequestValidator {
namespace {

const QString kDataUrlPrefix = QStringLiteral("data:image/jpeg;base64,");

// What the service documents beside the members this program sends: taken
// and recorded, not acted on.
const QSet<QString> &documentedOptions()
{
    static const QSet<QString> options{
        QStringLiteral("stream"), QStringLiteral("stream_options"), QStringLiteral("temperature"),
        QStringLiteral("top_p"), QStringLiteral("top_k"), QStringLiteral("presence_penalty"),
        QStringLiteral("frequency_penalty"), QStringLiteral("repetition_penalty"), QStringLiteral("max_tokens"),
        QStringLiteral("max_completion_tokens"), QStringLiteral("seed"), QStringLiteral("stop"), QStringLiteral("n"),
        QStringLiteral("enable_thinking"), QStringLiteral("thinking_budget"), QStringLiteral("enable_search"),
        QStringLiteral("response_format"), QStringLiteral("user"), QStringLiteral("logprobs"),
        QStringLiteral("top_logprobs"), QStringLiteral("vl_high_resolution_images")};
    return options;
}

Problem problem(const QString &param, const QString &what)
{
    return {QStringLiteral("%1 %2").arg(param, what), param};
}

std::optional<Problem> unknownMember(const QJsonObject &object, const QString &path, const QSet<QString> &allowed)
{
    for (const QString &key : object.keys()) {
        if (!allowed.contains(key))
            return problem(path.isEmpty() ? key : path + QLatin1Char('.') + key, QStringLiteral("is not a known parameter"));
    }
    return std::nullopt;
}

std::optional<Problem> common(const QJsonObject &body, const QSet<QString> &allowed)
{
    if (auto unknown = unknownMember(body, {}, allowed))
        return unknown;
    if (!body.value(QStringLiteral("model")).isString() || body.value(QStringLiteral("model")).toString().isEmpty())
        return problem(QStringLiteral("model"), QStringLiteral("must be a non-empty string"));
    const QJsonValue messages = body.value(QStringLiteral("messages"));
    if (!messages.isArray() || messages.toArray().isEmpty())
        return problem(QStringLiteral("messages"), QStringLiteral("must be a non-empty array"));
    if (body.contains(QStringLiteral("max_tokens"))) {
        const QJsonValue value = body.value(QStringLiteral("max_tokens"));
        if (!value.isDouble() || std::floor(value.toDouble()) != value.toDouble() || value.toDouble() < 1)
            return problem(QStringLiteral("max_tokens"), QStringLiteral("must be a positive integer"));
    }
    return std::nullopt;
}

// A message's members: its role and content, and a participant's name.
QSet<QString> messageMembers(bool strict)
{
    QSet<QString> members{QStringLiteral("role"), QStringLiteral("content")};
    if (!strict)
        members << QStringLiteral("name");
    return members;
}

std::optional<Problem> role(const QJsonObject &message, const QString &path)
{
    static const QSet<QString> roles{QStringLiteral("system"), QStringLiteral("user"), QStringLiteral("assistant")};
    const QJsonValue value = message.value(QStringLiteral("role"));
    if (!value.isString() || !roles.contains(value.toString()))
        return problem(path + QStringLiteral(".role"), QStringLiteral("must be system, user or assistant"));
    return std::nullopt;
}

} // namespace

Problem chat(const QJsonObject &body, bool strict)
{
    const QSet<QString> mine{QStringLiteral("model"), QStringLiteral("messages"), QStringLiteral("stream"),
                             QStringLiteral("temperature"), QStringLiteral("max_tokens"),
                             QStringLiteral("enable_thinking")};
    if (auto p = common(body, strict ? mine : mine + documentedOptions()))
        return *p;
    // Left out, the answer is not streamed.
    if ((strict || body.contains(QStringLiteral("stream"))) && !body.value(QStringLiteral("stream")).isBool())
        return problem(QStringLiteral("stream"), QStringLiteral("must be a boolean"));
    if (body.contains(QStringLiteral("enable_thinking")) && !body.value(QStringLiteral("enable_thinking")).isBool())
        return problem(QStringLiteral("enable_thinking"), QStringLiteral("must be a boolean"));
    if (body.contains(QStringLiteral("temperature"))) {
        const QJsonValue value = body.value(QStringLiteral("temperature"));
        if (!value.isDouble() || value.toDouble() < 0 || value.toDouble() >= 2)
            return problem(QStringLiteral("temperature"), QStringLiteral("must be a number from 0 to below 2"));
    }
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QString path = QStringLiteral("messages[%1]").arg(i);
        if (!messages[i].isObject())
            return problem(path, QStringLiteral("must be an object"));
        const QJsonObject message = messages[i].toObject();
        if (auto unknown = unknownMember(message, path, messageMembers(strict)))
            return *unknown;
        if (auto p = role(message, path))
            return *p;
        if (!message.value(QStringLiteral("content")).isString())
            return problem(path + QStringLiteral(".content"), QStringLiteral("must be a string"));
    }
    return {};
}

Problem vision(const QJsonObject &body, bool strict)
{
    const QSet<QString> mine{QStringLiteral("model"), QStringLiteral("messages"), QStringLiteral("max_tokens")};
    if (auto p = common(body, strict ? mine : mine + documentedOptions()))
        return *p;
    if (body.contains(QStringLiteral("stream")) && !body.value(QStringLiteral("stream")).isBool())
        return problem(QStringLiteral("stream"), QStringLiteral("must be a boolean"));
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        const QString path = QStringLiteral("messages[%1]").arg(i);
        const QJsonObject message = messages[i].toObject();
        if (!messages[i].isObject())
            return problem(path, QStringLiteral("must be an object"));
        if (auto unknown = unknownMember(message, path, messageMembers(strict)))
            return *unknown;
        if (auto p = role(message, path))
            return *p;
        const QJsonValue content = message.value(QStringLiteral("content"));
        if (content.isString())
            continue;
        if (!content.isArray() || content.toArray().isEmpty())
            return problem(path + QStringLiteral(".content"), QStringLiteral("must be a string or a non-empty array of parts"));
        const QJsonArray parts = content.toArray();
        for (qsizetype j = 0; j < parts.size(); ++j) {
            const QString partPath = path + QStringLiteral(".content[%1]").arg(j);
            const QJsonObject part = parts[j].toObject();
            const QString type = part.value(QStringLiteral("type")).toString();
            if (type == QLatin1String("text")) {
                if (auto unknown = unknownMember(part, partPath, {QStringLiteral("type"), QStringLiteral("text")}))
                    return *unknown;
                if (!part.value(QStringLiteral("text")).isString())
                    return problem(partPath + QStringLiteral(".text"), QStringLiteral("must be a string"));
            } else if (type == QLatin1String("image_url")) {
                if (auto unknown = unknownMember(part, partPath, {QStringLiteral("type"), QStringLiteral("image_url")}))
                    return *unknown;
                const QJsonObject image = part.value(QStringLiteral("image_url")).toObject();
                const QSet<QString> imageMembers = strict ? QSet<QString>{QStringLiteral("url")}
                                                          : QSet<QString>{QStringLiteral("url"), QStringLiteral("detail")};
                if (auto unknown = unknownMember(image, partPath + QStringLiteral(".image_url"), imageMembers))
                    return *unknown;
                if (!image.value(QStringLiteral("url")).isString())
                    return problem(partPath + QStringLiteral(".image_url.url"), QStringLiteral("must be a string"));
            } else {
                return problem(partPath + QStringLiteral(".type"), QStringLiteral("must be text or image_url"));
            }
        }
    }
    return {};
}

bool hasImageParts(const QJsonObject &body)
{
    for (const QJsonValue &message : body.value(QStringLiteral("messages")).toArray()) {
        if (message.toObject().value(QStringLiteral("content")).isArray())
            return true;
    }
    return false;
}

QString lastUserText(const QJsonObject &body)
{
    const QJsonArray messages = body.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = messages.size() - 1; i >= 0; --i) {
        const QJsonObject message = messages[i].toObject();
        if (message.value(QStringLiteral("role")).toString() != QLatin1String("user"))
            continue;
        const QJsonValue content = message.value(QStringLiteral("content"));
        if (content.isString())
            return content.toString();
        QString text;
        for (const QJsonValue &part : content.toArray())
            text += part.toObject().value(QStringLiteral("text")).toString();
        return text;
    }
    return {};
}

Image imageOf(const QJsonObject &body, bool strict)
{
    for (const QJsonValue &message : body.value(QStringLiteral("messages")).toArray()) {
        for (const QJsonValue &part : message.toObject().value(QStringLiteral("content")).toArray()) {
            const QJsonObject object = part.toObject();
            if (object.value(QStringLiteral("type")).toString() != QLatin1String("image_url"))
                continue;
            const QString url = object.value(QStringLiteral("image_url")).toObject().value(QStringLiteral("url")).toString();
            Image image;
            QString prefix = kDataUrlPrefix;
            if (!strict) {
                for (const char *format : {"jpeg", "jpg", "png", "webp"}) {
                    const QString candidate = QStringLiteral("data:image/%1;base64,").arg(QLatin1String(format));
                    if (url.startsWith(candidate, Qt::CaseInsensitive))
                        prefix = candidate;
                }
            }
            if (!url.startsWith(prefix, Qt::CaseInsensitive)) {
                image.problem = strict ? QStringLiteral("The image must be a data:image/jpeg;base64, URL.")
                                       : QStringLiteral("The image must be a data:image/jpeg, png or webp;base64, URL.");
                return image;
            }
            image.format = prefix.section(QLatin1Char('/'), 1).section(QLatin1Char(';'), 0, 0).toLower();
            if (image.format == QLatin1String("jpg"))
                image.format = QStringLiteral("jpeg");
            const QByteArray base64 = url.mid(prefix.size()).toLatin1();
            image.base64Chars = base64.size();
            const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
            if (!decoded)
                image.problem = QStringLiteral("The image data is not valid Base64.");
            else
                image.bytes = *decoded;
            return image;
        }
    }
    return {{}, 0, QStringLiteral("The request has no image part.")};
}

QJsonObject redacted(const QJsonObject &body)
{
    if (!body.value(QStringLiteral("messages")).isArray())
        return body;
    QJsonObject copy = body;
    QJsonArray messages = copy.value(QStringLiteral("messages")).toArray();
    for (qsizetype i = 0; i < messages.size(); ++i) {
        QJsonObject message = messages[i].toObject();
        QJsonArray parts = message.value(QStringLiteral("content")).toArray();
        if (parts.isEmpty())
            continue;
        for (qsizetype j = 0; j < parts.size(); ++j) {
            QJsonObject part = parts[j].toObject();
            QJsonObject image = part.value(QStringLiteral("image_url")).toObject();
            const QString url = image.value(QStringLiteral("url")).toString();
            const qsizetype comma = url.indexOf(QLatin1Char(','));
            if (!url.startsWith(QLatin1String("data:")) || comma < 0)
                continue;
            image.insert(QStringLiteral("url"), url.left(comma + 1) + QStringLiteral("<%1 chars>").arg(url.size() - comma - 1));
            part.insert(QStringLiteral("image_url"), image);
            parts[j] = part;
        }
        message.insert(QStringLiteral("content"), parts);
        messages[i] = message;
    }
    copy.insert(QStringLiteral("messages"), messages);
    return copy;
}

} // namespace ChatRequestValidator

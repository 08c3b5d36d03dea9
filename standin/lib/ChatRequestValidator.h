#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Checks chat-completion request bodies the way the service reads them: a
// chat request (model, messages of role and text content, optional stream,
// temperature, max_tokens, enable_thinking and the other documented
// sampling members) or a vision request (model, messages whose content is
// text or a list of text and image parts, the same options). Strict: exactly
// what this program sends (a chat's stream always given; a vision request
// with max_tokens alone, never streamed).
namespace ChatRequestValidator {

struct Problem
{
    QString message; // empty: the body is right
    QString param;   // the member at fault, e.g. "messages[1].content"
};

Problem chat(const QJsonObject &body, bool strict = false);
Problem vision(const QJsonObject &body, bool strict = false);

bool hasImageParts(const QJsonObject &body);
// The text of the last user message (its text parts joined).
QString lastUserText(const QJsonObject &body);

struct Image
{
    QByteArray bytes;
    qsizetype base64Chars = 0;
    QString problem;
    QString format = {}; // "jpeg", "png" or "webp", as the data URL says
};
// The first image part's data URL, decoded: JPEG, PNG or WebP (strict: JPEG
// alone, as this program sends).
Image imageOf(const QJsonObject &body, bool strict = false);

// The body with every data URL replaced by "data:image/jpeg;base64,<N chars>",
// for the record.
QJsonObject redacted(const QJsonObject &body);

} // namespace ChatRequestValidator

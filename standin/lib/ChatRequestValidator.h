#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// Checks chat-completion request bodies the way the service reads them: a
// chat request (model, messages of role and text content, stream, optional
// temperature, max_tokens and enable_thinking) or a vision request (model, messages whose
// content is text or a list of text and image parts, optional max_tokens).
namespace ChatRequestValidator {

struct Problem
{
    QString message; // empty: the body is right
    QString param;   // the member at fault, e.g. "messages[1].content"
};

Problem chat(const QJsonObject &body);
Problem vision(const QJsonObject &body);

bool hasImageParts(const QJsonObject &body);
// The text of the last user message (its text parts joined).
QString lastUserText(const QJsonObject &body);

struct Image
{
    QByteArray bytes;
    qsizetype base64Chars = 0;
    QString problem;
};
// The first image part's data URL, decoded.
Image imageOf(const QJsonObject &body);

// The body with every data URL replaced by "data:image/jpeg;base64,<N chars>",
// for the record.
QJsonObject redacted(const QJsonObject &body);

} // namespace ChatRequestValidator

#pragma once

#include "Scenario.h"

#include <QJsonObject>
#include <QString>

// What the stand-in answers to a dictation's clean-up request: a chat
// request whose last user message holds the transcript in a <transcript>
// tag.
namespace CleanupReply {

// The transcript, or nothing when the request is not a clean-up.
std::optional<QString> transcriptOf(const QJsonObject &body);

struct Reply
{
    QString content;
    QString reasoning; // sent as reasoning_content before the content
};
Reply replyFor(const CleanupScript &script, const QString &transcript);

// The stand-in's own edit: fillers and the blanks and commas after them
// removed, a stutter of one word said twice kept once.
QString ownEdit(const QString &transcript);

} // namespace CleanupReply

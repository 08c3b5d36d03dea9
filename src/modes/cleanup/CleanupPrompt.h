#pragma once

#include "AppConfig.h"
#include "ChatRecords.h"

#include <QString>

// The chat request that tidies a dictated transcript: the level's edits in
// the system prompt, the transcript inside a tag as text to edit (never a
// message to answer or obey), temperature 0, the model's thinking off, and
// an answer bounded by the transcript's length.
namespace CleanupPrompt {

// The tag the transcript travels in; an answer that still holds it is not
// an edit.
inline constexpr auto kTag = "transcript";

// The system prompt for the level ("light" or "full"), with the user's hot
// words as correct spellings and the user's own rule, where there are any.
QString systemPrompt(const QString &level, const QStringList &hotWords, const QString &instructions);
// The user message: the transcript inside the tag.
QString userMessage(const QString &transcript);
// The longest answer allowed, in tokens: enough for the transcript written
// out again with its formatting, never a reply of its own.
qint64 maxTokens(const QString &transcript);
// The whole request, with the model of the clean-up (llmModel when none is set).
LLMRequest request(const QString &transcript, const AppConfig &config);

} // namespace CleanupPrompt

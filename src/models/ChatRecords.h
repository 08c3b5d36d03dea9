#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

// The JSON vocabulary of the service's OpenAI-compatible chat completions.
// Members carry the field names; encoding writes them in field order and
// leaves absent optionals out (never null). Decoding needs every required
// member with its JSON type, takes a missing or null optional as absent, and
// ignores members it does not know (the service adds request_id,
// system_fingerprint, reasoning_content, ...).

struct LLMMessage
{
    QString role; // "system", "user", "assistant"
    QString content;

    friend bool operator==(const LLMMessage &, const LLMMessage &) = default;
    QByteArray toJson() const;
    static std::optional<LLMMessage> fromJson(const QJsonObject &object);
};

struct LLMRequest
{
    QString model;
    QList<LLMMessage> messages;
    bool stream = false;
    std::optional<double> temperature;
    std::optional<qint64> max_tokens;
    // The service's switch of its hybrid models' thinking; absent: the model's default.
    std::optional<bool> enable_thinking = {};

    QByteArray toJson() const;
};

struct LLMDelta
{
    std::optional<QString> role;
    std::optional<QString> content;
};

struct LLMUsage
{
    qint64 prompt_tokens = 0;
    qint64 completion_tokens = 0;
    qint64 total_tokens = 0;
};

struct LLMChoice
{
    qint64 index = 0;
    std::optional<LLMMessage> message;
    std::optional<QString> finish_reason;
    std::optional<LLMDelta> delta;
};

// A complete response, and also one chunk of a streamed one.
struct LLMResponse
{
    QString id;
    QString object;
    qint64 created = 0;
    QString model;
    QList<LLMChoice> choices;
    std::optional<LLMUsage> usage;

    static std::optional<LLMResponse> fromJson(const QByteArray &json);
};

struct APIErrorDetail
{
    QString message;
    std::optional<QString> type;
    std::optional<QString> code; // a string; a numeric code fails the whole envelope
};

// The error body of a failed request: {"error": {...}}.
struct APIError
{
    APIErrorDetail error;

    static std::optional<APIError> fromJson(const QByteArray &json);
};

struct VLImageURL
{
    QString url;
};

struct VLContentPart
{
    QString type; // "text" or "image_url"
    std::optional<QString> text;
    std::optional<VLImageURL> image_url;
};

// Plain text, or a list of parts.
using VLMessageContent = std::variant<QString, QList<VLContentPart>>;

struct VLMessage
{
    QString role;
    VLMessageContent content;
};

struct VLRequest
{
    QString model;
    QList<VLMessage> messages;
    std::optional<qint64> max_tokens;

    QByteArray toJson() const;
};

#pragma once

#include "ServiceError.h"

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

// The service's OpenAI-compatible HTTP interface, shared by the chat and the
// vision client.
namespace CompatibleMode {

// A request fails after this long without any byte moving; a streamed answer
// that keeps sending is never cut.
constexpr std::chrono::milliseconds kInactivityTimeout{60000};

// The chat-completions URL of a base: the plain concatenation, or nothing
// when that is not an http(s) URL.
std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl);
// A JSON POST to the URL, authorised with the key.
QNetworkRequest jsonRequest(const QUrl &url, const QString &key);

ServiceError invalidUrlError(const QString &baseUrl);
// A request that got no HTTP answer at all: Qt's error text and number.
ServiceError networkError(const QString &description, int code);

} // namespace CompatibleMode

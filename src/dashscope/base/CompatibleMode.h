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

// The URL of a path under a base: the plain concatenation, or nothing when
// that is not an http(s) URL.
std::optional<QUrl> endpointUrl(const QString &baseUrl, const QString &path);
// Its chat-completions URL.
std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl);
// A JSON POST to the URL, authorised with the key, that fails after the
// given time without any byte moving.
QNetworkRequest jsonRequest(const QUrl &url, const QString &key, std::chrono::milliseconds inactivityTimeout);

ServiceError invalidUrlError(const QString &baseUrl);
// A request that failed in transport: Qt's error text and number, or, when
// the inactivity timeout ended it, a description that says so (Qt reports
// that as a mere cancellation).
ServiceError networkError(const QString &description, int code, std::chrono::milliseconds inactivityTimeout);

} // namespace CompatibleMode

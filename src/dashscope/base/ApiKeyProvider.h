#pragma once

#include <QString>
#include <QUrl>

#include <QCoroTask>

#include <functional>
#include <optional>

// Where every client of the model service gets the API key: asked afresh for
// each connection or request, so that a key corrected in the settings is used
// by the very next one. Nothing when no key is stored.
using ApiKeyProvider = std::function<QCoro::Task<std::optional<QString>>()>;

// The provider's key, or nothing when it is absent or empty.
QCoro::Task<std::optional<QString>> configuredKey(const ApiKeyProvider &provider);

// Keys by host: the key the user stored for one host (as a URL's host, in
// lower case), or nothing. Each request to that host uses it; services of
// other companies never see the service's own key.
using HostKeyProvider = std::function<QCoro::Task<std::optional<QString>>(QString host)>;

// The key for a request to url: the one stored for its host, where there is
// one; else the fallback's (none: no key).
QCoro::Task<std::optional<QString>> keyForUrl(QUrl url, HostKeyProvider hosts, ApiKeyProvider fallback);
// The same for an endpoint that may not be a URL at all (a malformed base):
// then the fallback's key, so that a missing key is still what is reported first.
QCoro::Task<std::optional<QString>> keyForEndpoint(std::optional<QUrl> url, HostKeyProvider hosts,
                                                   ApiKeyProvider fallback);

#pragma once

#include <QString>

#include <QCoroTask>

#include <functional>
#include <optional>

// Where every client of the model service gets the API key: asked afresh for
// each connection or request, so that a key corrected in the settings is used
// by the very next one. Nothing when no key is stored.
using ApiKeyProvider = std::function<QCoro::Task<std::optional<QString>>()>;

// The provider's key, or nothing when it is absent or empty.
QCoro::Task<std::optional<QString>> configuredKey(const ApiKeyProvider &provider);

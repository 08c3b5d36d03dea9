#pragma once

#include "UserText.h"

#include <QString>

#include <type_traits>
#include <utility>
#include <variant>

// The one error value every service reports: a domain, an integer code and a
// human-readable (Chinese) description that callers show and log as it is.
struct ServiceError
{
    QString domain;
    int code = 0;
    QString description;

    // No API key is stored: every service that needs one says so alike.
    static ServiceError apiKeyMissing()
    {
        return {QStringLiteral("APIKeyError"), 401, UserText::of(QT_TRANSLATE_NOOP("UserText", "请先配置 API Key"))};
    }

    friend bool operator==(const ServiceError &, const ServiceError &) = default;
};

// Failures are returned, never thrown: an operation that can fail yields a
// Result holding either its value or the ServiceError.
template <typename T>
class Result
{
public:
    // A default value, so that results can be awaited by generic helpers.
    Result() requires std::is_default_constructible_v<T> : m_value(T{}) {}
    Result(T value) : m_value(std::move(value)) {}
    Result(ServiceError error) : m_value(std::move(error)) {}

    bool ok() const { return std::holds_alternative<T>(m_value); }
    explicit operator bool() const { return ok(); }

    const T &value() const & { return std::get<T>(m_value); }
    T &&value() && { return std::get<T>(std::move(m_value)); }
    const ServiceError &error() const { return std::get<ServiceError>(m_value); }

private:
    std::variant<T, ServiceError> m_value;
};

// The value of an operation that only succeeds or fails. (Not std::monostate:
// QCoro's task promise keeps its result in a variant whose empty state is
// std::monostate, so a co_returned std::monostate would read as no result.)
struct Ok
{
    friend bool operator==(Ok, Ok) = default;
};
using VoidResult = Result<Ok>;

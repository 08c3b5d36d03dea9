#pragma once

#include <QString>

#include <utility>
#include <variant>

// The one error value every service reports: a domain, an integer code and a
// human-readable (Chinese) description that callers show and log as it is.
struct ServiceError
{
    QString domain;
    int code = 0;
    QString description;

    friend bool operator==(const ServiceError &, const ServiceError &) = default;
};

// Failures are returned, never thrown: an operation that can fail yields a
// Result holding either its value or the ServiceError.
template <typename T>
class Result
{
public:
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

// For operations that only succeed or fail.
using VoidResult = Result<std::monostate>;

#include "ApiKeyProvider.h"

QCoro::Task<std::optional<QString>> configuredKey(const ApiKeyProvider &provider)
{
    std::optional<QString> key = co_await provider();
    if (!key || key->isEmpty())
        co_return std::nullopt;
    co_return key;
}

#include "ApiKeyProvider.h"

QCoro::Task<std::optional<QString>> configuredKey(const ApiKeyProvider &provider)
{
    std::optional<QString> key = co_await provider();
    if (!key || key->isEmpty())
        co_return std::nullopt;
    co_return key;
}

QCoro::Task<std::optional<QString>> keyForUrl(QUrl url, HostKeyProvider hosts, ApiKeyProvider fallback)
{
    if (hosts) {
        const std::optional<QString> own = co_await hosts(url.host().toLower());
        if (own && !own->isEmpty())
            co_return own;
    }
    if (!fallback)
        co_return std::nullopt;
    co_return co_await configuredKey(fallback);
}

QCoro::Task<std::optional<QString>> keyForEndpoint(std::optional<QUrl> url, HostKeyProvider hosts,
                                                   ApiKeyProvider fallback)
{
    // (Not a conditional expression: GCC 12 mishandles co_await inside one.)
    if (url)
        co_return co_await keyForUrl(*url, hosts, fallback);
    co_return co_await configuredKey(fallback);
}

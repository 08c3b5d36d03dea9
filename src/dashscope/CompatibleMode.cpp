#include "CompatibleMode.h"

namespace CompatibleMode {

std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl)
{
    const QUrl url(baseUrl + QStringLiteral("/chat/completions"), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    return url;
}

QNetworkRequest jsonRequest(const QUrl &url, const QString &key)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(kInactivityTimeout.count()));
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    request.setRawHeader("Content-Type", "application/json");
    return request;
}

ServiceError invalidUrlError(const QString &baseUrl)
{
    return {QStringLiteral("URLError"), -1, QStringLiteral("无效的服务地址：") + baseUrl};
}

ServiceError networkError(const QString &description, int code)
{
    return {QStringLiteral("QNetworkReply"), code, description};
}

} // namespace CompatibleMode

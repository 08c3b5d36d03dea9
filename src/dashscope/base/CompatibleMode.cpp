#include "CompatibleMode.h"

#include "UserText.h"

#include <QNetworkReply>

namespace CompatibleMode {

std::optional<QUrl> endpointUrl(const QString &baseUrl, const QString &path)
{
    const QUrl url(baseUrl + path, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()
        || (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    return url;
}

std::optional<QUrl> chatCompletionsUrl(const QString &baseUrl)
{
    return endpointUrl(baseUrl, QStringLiteral("/chat/completions"));
}

QNetworkRequest jsonRequest(const QUrl &url, const QString &key, std::chrono::milliseconds inactivityTimeout)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(int(inactivityTimeout.count()));
    request.setRawHeader("Authorization", "Bearer " + key.toUtf8());
    request.setRawHeader("Content-Type", "application/json");
    return request;
}

ServiceError invalidUrlError(const QString &baseUrl)
{
    return {QStringLiteral("URLError"), -1,
            UserText::of(QT_TRANSLATE_NOOP("UserText", "无效的服务地址：%1")).arg(baseUrl)};
}

ServiceError networkError(const QString &description, int code, std::chrono::milliseconds inactivityTimeout)
{
    // Requests are never cancelled otherwise: a cancellation is the timeout.
    if (code == QNetworkReply::OperationCanceledError || code == QNetworkReply::TimeoutError) {
        const double seconds = double(inactivityTimeout.count()) / 1000.0;
        return {QStringLiteral("QNetworkReply"), code,
                UserText::of(QT_TRANSLATE_NOOP("UserText", "服务 %1 秒没有回应，请求已放弃")).arg(seconds, 0, 'g', 3)};
    }
    return {QStringLiteral("QNetworkReply"), code, description};
}

} // namespace CompatibleMode

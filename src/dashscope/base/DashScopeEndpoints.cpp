#include "DashScopeEndpoints.h"

namespace {
QString duplexOverrideFromEnvironment()
{
    return qEnvironmentVariable("QUILLWREN_WS_URL");
}

QUrl withoutTrailingSlash(QUrl endpoint)
{
    QString path = endpoint.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    endpoint.setPath(path);
    return endpoint;
}
} // namespace

QString DashScopeEndpoints::host(const QString &region, const QString &workspaceId)
{
    const bool singapore = region == QLatin1String("singapore");
    if (!workspaceId.isEmpty())
        return workspaceId + (singapore ? QLatin1String(".ap-southeast-1.maas.aliyuncs.com")
                                        : QLatin1String(".cn-beijing.maas.aliyuncs.com"));
    return singapore ? QStringLiteral("dashscope-intl.aliyuncs.com") : QStringLiteral("dashscope.aliyuncs.com");
}

DashScopeEndpoints DashScopeEndpoints::derive(const AppConfig &config, const QString &duplexOverride)
{
    const QString serviceHost = host(config.serviceRegion, config.workspaceId);
    DashScopeEndpoints endpoints;
    endpoints.duplex = QUrl(duplexOverride.isEmpty() ? QStringLiteral("wss://%1/api-ws/v1/inference/").arg(serviceHost)
                                                     : duplexOverride);
    // The Beijing default stands for "the service's own": it follows the
    // region and workspace. Anything else is the user's choice.
    endpoints.compatibleBase = config.compatibleBaseURL == QLatin1String(AppConfig::kDefaultCompatibleBaseURL)
                                   ? QStringLiteral("https://%1/compatible-mode/v1").arg(serviceHost)
                                   : config.compatibleBaseURL;
    endpoints.nativeBase = QStringLiteral("https://%1/api/v1").arg(serviceHost);
    return endpoints;
}

DashScopeEndpoints DashScopeEndpoints::forConfig(const AppConfig &config)
{
    DashScopeEndpoints endpoints = derive(config, duplexOverrideFromEnvironment());
    if (const QString native = qEnvironmentVariable("QUILLWREN_NATIVE_URL"); !native.isEmpty())
        endpoints.nativeBase = native;
    return endpoints;
}

DashScopeEndpoints DashScopeEndpoints::fixedByEnvironment()
{
    const QString overridden = duplexOverrideFromEnvironment();
    return DashScopeEndpoints(overridden.isEmpty() ? QUrl() : QUrl(overridden));
}

QUrl DashScopeEndpoints::recognition(const AppConfig &config) const
{
    return duplex.isEmpty() ? forConfig(config).duplex : duplex;
}

QUrl DashScopeEndpoints::synthesis(const AppConfig &config) const
{
    return withoutTrailingSlash(recognition(config));
}

QUrl DashScopeEndpoints::synthesis() const
{
    return withoutTrailingSlash(duplex);
}

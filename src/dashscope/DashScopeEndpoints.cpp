#include "DashScopeEndpoints.h"

DashScopeEndpoints DashScopeEndpoints::fromEnvironment()
{
    const QString overridden = qEnvironmentVariable("QUILLWREN_WS_URL");
    return {QUrl(overridden.isEmpty() ? QString::fromLatin1(kProductionDuplex) : overridden)};
}

QUrl DashScopeEndpoints::synthesis() const
{
    QUrl endpoint = duplex;
    QString path = endpoint.path();
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    endpoint.setPath(path);
    return endpoint;
}


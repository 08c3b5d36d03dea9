#pragma once

#include "AppConfig.h"

#include <QString>
#include <QUrl>

// Where the model service is reached. The account's region and workspace
// choose the host; on it live the duplex WebSocket (recognition as it is,
// synthesis the same path without its trailing slash), the OpenAI-compatible
// HTTP interface (chat and vision) and the native one. A compatible base the
// user set to another host wins for chat and vision (a proxy, another
// compatible server); $QUILLWREN_WS_URL wins for the WebSocket and
// $QUILLWREN_NATIVE_URL for the native interface (the hot words' vocabulary).
struct DashScopeEndpoints
{
    static constexpr auto kProductionDuplex = "wss://dashscope.aliyuncs.com/api-ws/v1/inference/";

    QUrl duplex;
    QString compatibleBase;
    QString nativeBase;

    explicit DashScopeEndpoints(QUrl duplexUrl = {}, QString compatible = {}, QString native = {})
        : duplex(std::move(duplexUrl)), compatibleBase(std::move(compatible)), nativeBase(std::move(native))
    {
    }

    // The service's host for a region ("beijing", "singapore") and an
    // optional workspace ID.
    static QString host(const QString &region, const QString &workspaceId);
    // The endpoints of the settings; a non-empty duplexOverride replaces the
    // WebSocket's.
    static DashScopeEndpoints derive(const AppConfig &config, const QString &duplexOverride);
    // The same with $QUILLWREN_WS_URL as the override, and
    // $QUILLWREN_NATIVE_URL for the native interface's base.
    static DashScopeEndpoints forConfig(const AppConfig &config);
    // Only the WebSocket of $QUILLWREN_WS_URL, empty when it is not set:
    // for clients that otherwise follow the settings of each request.
    static DashScopeEndpoints fixedByEnvironment();

    // The WebSocket of the settings, unless this one fixes it.
    QUrl recognition(const AppConfig &config) const;
    QUrl synthesis(const AppConfig &config) const;
    QUrl recognition() const { return duplex; }
    QUrl synthesis() const;
};

#pragma once

#include <QUrl>

// Where the model service is reached over its duplex WebSocket. Recognition
// uses the endpoint as it is; synthesis the same path without its trailing
// slash. (The HTTP base is a user setting, read per request.)
struct DashScopeEndpoints
{
    static constexpr auto kProductionDuplex = "wss://dashscope.aliyuncs.com/api-ws/v1/inference/";

    QUrl duplex;

    // The production endpoint, or $QUILLWREN_WS_URL when that is set.
    static DashScopeEndpoints fromEnvironment();

    QUrl recognition() const { return duplex; }
    QUrl synthesis() const;
};

#pragma once

#include "ApiKeyProvider.h"
#include "AppConfig.h"
#include "ServiceError.h"

#include <QObject>

#include <chrono>

class QNetworkAccessManager;

// The vision request: one screenshot and a fixed instruction to the vision
// model, answered whole.
class VisionClient : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxTokens = 1024;

    // The network manager is shared with the other HTTP client and must outlive this one.
    // A request fails after inactivityTimeout without a byte moving.
    VisionClient(ApiKeyProvider apiKey, QNetworkAccessManager &network, std::chrono::milliseconds inactivityTimeout,
               QObject *parent = nullptr);

    // The vision model's reply to a screenshot (Base64 JPEG, no prefix).
    QCoro::Task<Result<QString>> analyzeChatScreenshot(QString base64Jpeg, AppConfig config, QString systemPrompt);

    // The instruction sent with every screenshot.
    static QString visionInstruction();
    // The logged form of a request body: Base64 runs of 100 characters or
    // more replaced by their size, the whole cut at 800 characters.
    static QString redactedBody(const QByteArray &body, qsizetype base64Chars);

    // Keys stored per host: one for the vision model's host is sent instead of the service's.
    void setHostKeys(HostKeyProvider hostKeys) { m_hostKeys = std::move(hostKeys); }

private:
    ApiKeyProvider m_apiKey;
    HostKeyProvider m_hostKeys;
    QNetworkAccessManager &m_network;
    std::chrono::milliseconds m_inactivityTimeout;
};
